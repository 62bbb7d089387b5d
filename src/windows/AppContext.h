#pragma once

#include <QString>

#include <filesystem>
#include <functional>

namespace velmora {

class ClipboardService;
class FileDialogService;
class MessageBoxService;
class ShellService;

// What the windows are handed: where they live and the services they reach the system
// through. The services are not owned and outlive the windows.
struct AppContext {
    // Where the program is installed: holds "WE00" and the folder "Image". Read only; the
    // work files go to a private folder of each window's own.
    std::filesystem::path programFolder;
    // Holds the window pictures and the icon.
    QString resourcesFolder;
    FileDialogService* dialogs = nullptr;
    MessageBoxService* messages = nullptr;
    // Opens addresses in the default web browser.
    ShellService* shell = nullptr;
    ClipboardService* clipboard = nullptr;
    // Opens the menu workspace on a folder of game files; unset where no workspace is offered.
    std::function<void(const QString& folder)> openMenu;
};

} // namespace velmora
