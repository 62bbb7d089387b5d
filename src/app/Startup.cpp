#include "app/Startup.h"

#include "platform/PlatformFonts.h"
#include "velmora/Version.h"
#include "workflows/WorkFiles.h"

#include <QCoreApplication>

namespace velmora {

std::unique_ptr<RunningProgram> startProgram(const QStringList& arguments) {
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // The captions are designed in MS Sans Serif and Arial: they are drawn in their
    // metric-compatible faces, so that they fit their buttons.
    registerFontSubstitutions();

    // The current folder stays the user's.
    const QString folder = QString::fromStdU16String(
        conversion::dataFolder(QCoreApplication::applicationDirPath().toStdU16String())
            .u16string());

    auto program = std::make_unique<RunningProgram>();
    program->window = std::make_unique<frmMain>(program->services.contextFor(folder));
    program->window->Form_Load();
    if (arguments.size() > 1)
        program->window->openFile(arguments.at(1));
    return program;
}

} // namespace velmora
