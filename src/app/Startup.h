#pragma once

#include "windows/DesktopServices.h"
#include "windows/frmMain.h"

#include <QStringList>

#include <memory>

namespace velmora {

// The running program: the real services and the main window that uses them.
struct RunningProgram {
    DesktopServices services;
    std::unique_ptr<frmMain> window;
};

// What the program does between making its application object and running its event loop, kept
// out of main so that the tests start the window in the very same way: names the application,
// registers the font substitutions the designs need, finds the program's data (beside the
// program, or in ../share/velmora when installed as a package), opens the main window and fills
// the matching box with the file named after the program's name in `arguments`, if any.
std::unique_ptr<RunningProgram> startProgram(const QStringList& arguments);

} // namespace velmora
