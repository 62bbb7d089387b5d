#include "platform/FileDialogService.h"
#include "platform/MessageBoxService.h"
#include "platform/ShellService.h"
#include "windows/AppContext.h"
#include "windows/frmMain.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));

    const QString folder = QCoreApplication::applicationDirPath();
    // The buttons' click sound is named relative to the current folder.
    QDir::setCurrent(folder);

    velmora::QtFileDialogService dialogs;
    velmora::QtMessageBoxService messages;
    velmora::DesktopShellService shell;
    velmora::AppContext context;
    context.applicationFolder = std::filesystem::path(folder.toStdU16String());
    context.resourcesFolder = folder + QStringLiteral("/resources");
    context.dialogs = &dialogs;
    context.messages = &messages;
    context.openUrl = [&shell](const QString& url) { shell.ShellOpen(url); };

    velmora::frmMain window(context);
    window.Form_Load();
    return QApplication::exec();
}
