// velmora-window-check: drives the real main window, with the real dialogs, message boxes and
// shell, as a user would type into it, for the installed-copy test (scripts/installed-test.sh).
// Installed only into that test's prefix, never with the product.
//
//   velmora-window-check image SEED OUT.dds        writes a DDS image the game takes
//   velmora-window-check pack IMAGE MODE OUT       Pack: IMAGE in Open DDS, OUT in Save Bin
//   velmora-window-check unpack GAME_FILE OUT      Unpack: GAME_FILE in Open Bin, OUT in Save DDS
//
// Every message box the window shows is printed on a line of its own and answered with its
// default button. The exit status is 0 when the run ended with the window's success messages.
#include "DdsImages.h"
#include "FileHelpers.h"

#include "app/Startup.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

// Reads and presses OK on each message box as it opens, as the user at the screen would.
void answerMessageBoxes(QStringList& seen) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [&seen] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->text();
            std::printf("message: %s\n", qPrintable(box->text()));
            std::fflush(stdout);
            box->done(box->defaultButton() != nullptr ? box->standardButton(box->defaultButton())
                                                      : QMessageBox::Ok);
        }
    });
    timer->start(20);
}

int usage() {
    std::fprintf(stderr, "usage: velmora-window-check image SEED OUT | pack IMAGE MODE OUT | "
                         "unpack GAME_FILE OUT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("image")) {
        velmora::test::writeFile(args[2].toStdString(),
                                 velmora::test::validImage(args[1].toUInt()));
        return 0;
    }
    const bool pack = args.size() == 4 && args[0] == QLatin1String("pack");
    const bool unpack = args.size() == 3 && args[0] == QLatin1String("unpack");
    if (!pack && !unpack) {
        return usage();
    }

    // Started as the program starts: its data beside it, the real services.
    const auto program = velmora::startProgram({});
    velmora::frmMain& window = *program->window;

    QStringList seen;
    answerMessageBoxes(seen);
    QString expected;
    if (pack) {
        window.txt(0).setText(args[1]);
        const auto items = window.List1().findItems(args[2], Qt::MatchExactly);
        if (items.isEmpty()) {
            std::fprintf(stderr, "no mode \"%s\"\n", qPrintable(args[2]));
            return 2;
        }
        window.List1().setCurrentItem(items.front());
        window.txt(1).setText(args[3]);
        window.Pack();
        expected = QStringLiteral("CompressFile");
    } else {
        window.txt(2).setText(args[1]);
        window.txt(3).setText(args[2]);
        window.Unpack();
        expected = QStringLiteral("UncompressFile");
    }
    return !seen.isEmpty() && seen.front() == expected ? 0 : 1;
}
