// The window as the program itself starts it: no test main registers fonts or styles here, so
// what these tests see is what a user sees. Run at scale factor 1 and again at 2.
#include "DdsImages.h"
#include "FileHelpers.h"
#include "GameFiles.h"
#include "ProcessRunner.h"
#include "TempFolder.h"

#include "app/Startup.h"
#include "button_xp/Button_XP.h"
#include "workspace/MenuWorkspace.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

// Where a caption's ink lies in a button as the screen shows it (device pixels).
struct Ink {
    QRect box;
    int count = 0;
    bool blocky = true; // every ink pixel fills the whole block of its logical pixel
};

bool isInk(QRgb pixel) {
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 110;
}

Ink inkOf(UserControl& host) {
    const QImage shown = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int scale = int(host.devicePixelRatioF());
    Ink ink;
    // The frame's lines are dark too: only the face inside them is searched, and a caption
    // that reaches them is found touching the search's edge.
    for (int y = scale; y < shown.height() - scale; ++y)
        for (int x = scale; x < shown.width() - scale; ++x) {
            if (!isInk(shown.pixel(x, y)))
                continue;
            ink.box |= QRect(x, y, 1, 1);
            ++ink.count;
            const int bx = x - x % scale, by = y - y % scale;
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx)
                    if (shown.pixel(bx + dx, by + dy) != shown.pixel(x, y))
                        ink.blocky = false;
        }
    return ink;
}

TEST(Startup, BrowseCaptionLiesWhollyInsideItsButtonUpAndPressed) {
    const auto program = startProgram({});
    UserControl& host = program->window->btnBF().host();
    ASSERT_EQ(host.size(), QSize(41, 17));
    const qreal scale = host.devicePixelRatioF();
    if (const char* wanted = std::getenv("QT_SCALE_FACTOR")) {
        ASSERT_EQ(scale, std::atof(wanted)) << "the screen did not take the scale factor";
    }

    const Ink up = inkOf(host);
    QTest::mousePress(&host, Qt::LeftButton, {}, QPoint(20, 8));
    const Ink pressed = inkOf(host);

    // Inside the button: clear of its two-pixel frame on every side, pressed or not.
    const int s = int(scale);
    for (const auto& [ink, shift] : {std::pair{up, 0}, std::pair{pressed, s}}) {
        ASSERT_GT(ink.count, 20 * s * s) << "no caption drawn";
        EXPECT_GE(ink.box.left(), 2 * s);
        EXPECT_LT(ink.box.right(), 39 * s);
        EXPECT_GE(ink.box.top(), 2 * s);
        EXPECT_LT(ink.box.bottom(), 15 * s);
    }
    // Pressing moves the caption by one pixel and cuts nothing off (smoothed edges may read a
    // little differently on the pressed face).
    EXPECT_EQ(pressed.box, up.box.translated(s, s));
    EXPECT_NEAR(pressed.count, up.count, up.count / 20);
    // On a high-density screen the glyphs are drawn at its resolution, not pixel-doubled.
    EXPECT_EQ(up.blocky, s == 1);
    EXPECT_EQ(pressed.blocky, s == 1);
}

TEST(Startup, WindowPicturesHaveAPixelForEveryDevicePixel) {
    const auto program = startProgram({});
    const auto* strip = program->window->findChild<QLabel*>(QStringLiteral("Picture1"));
    ASSERT_NE(strip, nullptr);
    const QPixmap picture = strip->pixmap();
    EXPECT_EQ(picture.devicePixelRatio(), program->window->devicePixelRatioF());
    EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(372, 56));
}

TEST(Startup, FileNamedOnTheCommandLineFillsTheMatchingBox) {
    test::TempFolder folder;
    const auto game = folder.path() / "tile.bin";
    const auto picture = folder.path() / "tile.dds";
    test::writeFile(
        game, test::gameFileAround(test::zlibStream(test::textureRecord(test::validImage(3)), 1)));
    test::writeFile(picture, test::validImage(4));
    for (const auto& [file, box, other] : {std::tuple{game, 2, 0}, std::tuple{picture, 0, 2}}) {
        const QString path = QString::fromStdString(file.string());
        const auto program = startProgram({QStringLiteral("velmora"), path});
        EXPECT_EQ(program->window->txt(box).text(), path);
        EXPECT_TRUE(program->window->txt(other).text().isEmpty());
    }
}

// A menu folder open already, however it is named, is brought forward rather than opened in a
// second window that would pack every save into the same game files too.
TEST(Startup, AMenuFolderOpenAlreadyIsBroughtForwardNotOpenedTwice) {
    test::TempFolder f;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((f.path() / "data").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((f.path() / "config").string()));
    const test::Bytes game =
        test::gameFileAround(test::zlibStream(test::textureRecord(test::validImage(3)), 1));
    for (const char* name : {"menu", "other"}) {
        std::filesystem::create_directories(f.path() / name);
        test::writeFile(f.path() / name / "tile.bin", game);
    }
    const QString menu = QString::fromStdString((f.path() / "menu").string());
    const auto program = startProgram({QStringLiteral("velmora")});
    workspace::MenuWorkspace& first = program->openMenu(menu);
    for (const QString& same : {menu, menu + "/", menu + "/../menu"})
        EXPECT_EQ(&program->openMenu(same), &first) << same.toStdString();
    workspace::MenuWorkspace& other =
        program->openMenu(QString::fromStdString((f.path() / "other").string()));
    EXPECT_NE(&other, &first);
    EXPECT_EQ(std::count_if(program->menus.begin(), program->menus.end(),
                            [](const auto& open) { return !open.isNull(); }),
              2);
}

TEST(Startup, StoppedBySignalTheProgramLeavesNoWorkFolder) {
    test::TempFolder f;
    test::writeFile(f / "tile.bin", test::gameFileAround(test::zlibStream(
                                        test::textureRecord(test::validImage(5)), 1)));
    const std::string program =
        (std::filesystem::path(test::cliPath()).parent_path() / "velmora").string();
    for (const auto& [signal, status] :
         std::vector<std::pair<std::string, int>>{{"TERM", 143}, {"INT", 130}, {"HUP", 129}}) {
        SCOPED_TRACE(signal);
        const auto runtime = f / ("runtime-" + signal);
        std::filesystem::create_directories(runtime);
        // The game file named on the command line is copied into the window's work folder at
        // once; the signal comes once that folder is there.
        const std::string script =
            "\"$0\" tile.bin & pid=$!; for i in $(seq 100); do "
            "[ -n \"$(ls \"$1/velmora\" 2>/dev/null)\" ] && break; sleep 0.1; done; kill -" +
            signal + " $pid; wait $pid; echo $?";
        test::ProcessOptions options;
        options.workingDirectory = f.path();
        options.environment["XDG_RUNTIME_DIR"] = runtime.string();
        options.environment["QT_QPA_PLATFORM"] = "offscreen";
        const auto run = test::run({"/bin/sh", "-c", script, program, runtime.string()}, options);
        EXPECT_EQ(run.out, std::to_string(status) + "\n") << run.err;
        EXPECT_EQ(test::leftInTemp(runtime), std::set<std::string>{});
    }
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
