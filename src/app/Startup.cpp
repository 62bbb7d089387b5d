#include "app/Startup.h"

#include "platform/PlatformFonts.h"
#include "velmora/Version.h"
#include "workflows/WorkFiles.h"

#include <QCoreApplication>
#include <QFileInfo>

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
    if (arguments.size() > 2 && arguments.at(1) == QStringLiteral("--menu")) {
        program->openMenu(arguments.at(2));
        return program;
    }
    AppContext context = program->services.contextFor(folder);
    RunningProgram* running = program.get();
    context.openMenu = [running](const QString& menu) { running->openMenu(menu); };
    program->window = std::make_unique<frmMain>(context);
    program->window->Form_Load();
    // "--menu" without its folder names no file either.
    if (arguments.size() > 1 && arguments.at(1) != QStringLiteral("--menu"))
        program->window->openFile(arguments.at(1));
    return program;
}

workspace::MenuWorkspace& RunningProgram::openMenu(const QString& folder) {
    // A folder open already is brought forward: two windows would both pack every save into
    // the same game files, and each would take the other's writes for another program's.
    const QString wanted = QFileInfo(folder).canonicalFilePath();
    for (const QPointer<workspace::MenuWorkspace>& open : menus)
        if (open && !wanted.isEmpty() && QFileInfo(open->folder()).canonicalFilePath() == wanted) {
            open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
            open->show();
            open->raise();
            open->activateWindow();
            return *open;
        }
    const QString data = QString::fromStdU16String(
        conversion::dataFolder(QCoreApplication::applicationDirPath().toStdU16String())
            .u16string());
    auto* menu = new workspace::MenuWorkspace(services.contextFor(data), folder);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menus.emplace_back(menu);
    menu->show();
    menu->raise();
    menu->activateWindow();
    return *menu;
}

RunningProgram::~RunningProgram() {
    for (const QPointer<workspace::MenuWorkspace>& menu : menus)
        delete menu.data();
}

} // namespace velmora
