#pragma once

#include "platform/FileDialogService.h"
#include "platform/MessageBoxService.h"
#include "platform/ShellService.h"
#include "windows/AppContext.h"

#include <QString>

namespace velmora {

// The real services a running program hands its windows, kept alive as long as they are.
struct DesktopServices {
    QtFileDialogService dialogs;
    QtMessageBoxService messages;
    DesktopShellService shell;
    QtClipboardService clipboard;

    // The windows' context: the program's data in `folder` (WE00, Image, resources), these
    // services behind it.
    AppContext contextFor(const QString& folder) {
        AppContext context;
        context.programFolder = std::filesystem::path(folder.toStdU16String());
        context.resourcesFolder = folder + QStringLiteral("/resources");
        context.dialogs = &dialogs;
        context.messages = &messages;
        context.shell = &shell;
        context.clipboard = &clipboard;
        return context;
    }
};

} // namespace velmora
