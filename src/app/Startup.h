#pragma once

#include "windows/DesktopServices.h"
#include "windows/frmMain.h"
#include "workspace/MenuWorkspace.h"

#include <QStringList>

#include <QPointer>

#include <memory>
#include <vector>

namespace velmora {

// The running program: the real services and the main window that uses them.
struct RunningProgram {
    DesktopServices services;
    // Null when the program was started on a menu (`--menu FOLDER`).
    std::unique_ptr<frmMain> window;
    // The menu workspaces open, each closed and deleted on its own.
    std::vector<QPointer<workspace::MenuWorkspace>> menus;

    // Opens a menu workspace on the folder, beside whatever is open.
    workspace::MenuWorkspace& openMenu(const QString& folder);
    ~RunningProgram();
};

// What the program does between making its application object and running its event loop, kept
// out of main so that the tests start the window in the very same way: names the application,
// registers the font substitutions the designs need, finds the program's data (beside the
// program, or in ../share/velmora when installed as a package), opens the main window and fills
// the matching box with the file named after the program's name in `arguments`, if any.
// `--menu FOLDER` opens the menu workspace on that folder in place of the main window.
std::unique_ptr<RunningProgram> startProgram(const QStringList& arguments);

} // namespace velmora
