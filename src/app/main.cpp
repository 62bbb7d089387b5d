#include "conversion/WorkFiles.h"
#include "platform/PlatformFonts.h"
#include "windows/DesktopServices.h"
#include "windows/frmMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
    // The captions are designed in MS Sans Serif and Arial: draw them in their metric-compatible
    // faces, as the tests and the gallery do, so they fit their buttons.
    velmora::registerFontSubstitutions();

    // The program's own files stand beside it, or in ../share/velmora when installed as a
    // package; the current folder stays the user's.
    const QString folder = QString::fromStdU16String(
        velmora::conversion::dataFolder(QCoreApplication::applicationDirPath().toStdU16String())
            .u16string());

    velmora::DesktopServices services;
    const velmora::AppContext context = services.contextFor(folder);

    velmora::frmMain window(context);
    window.Form_Load();
    if (const QStringList args = QCoreApplication::arguments(); args.size() > 1)
        window.openFile(args.at(1));
    return QApplication::exec();
}
