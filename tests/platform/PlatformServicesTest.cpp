#include "platform/CursorService.h"
#include "platform/PlatformFonts.h"
#include "platform/ShellService.h"
#include "platform/SoundService.h"
#include "platform/SystemColors.h"

#include "TestPaths.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace velmora;
using gdi::RGB;

namespace {

struct ColourCase {
    int index;
    gdi::COLORREF rgb;
};

class SystemColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(SystemColourTest, HasTheXpValue) {
    EXPECT_EQ(GetSysColor(GetParam().index), GetParam().rgb) << "index " << GetParam().index;
    EXPECT_EQ(resolveColour(0x80000000u + static_cast<unsigned>(GetParam().index)), GetParam().rgb);
}

INSTANTIATE_TEST_SUITE_P(Table, SystemColourTest,
                         ::testing::Values(ColourCase{COLOR_BTNFACE, RGB(236, 233, 216)},
                                           ColourCase{COLOR_HIGHLIGHT, RGB(49, 106, 197)},
                                           ColourCase{COLOR_BTNSHADOW, RGB(172, 168, 153)},
                                           ColourCase{COLOR_BTNTEXT, RGB(0, 0, 0)},
                                           ColourCase{COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},
                                           ColourCase{COLOR_3DDKSHADOW, RGB(113, 111, 100)},
                                           ColourCase{COLOR_3DLIGHT, RGB(241, 239, 226)},
                                           ColourCase{COLOR_WINDOW, RGB(255, 255, 255)},
                                           ColourCase{COLOR_WINDOWTEXT, RGB(0, 0, 0)},
                                           ColourCase{COLOR_GRAYTEXT, RGB(172, 168, 153)},
                                           ColourCase{COLOR_ACTIVECAPTION, RGB(0, 84, 227)},
                                           ColourCase{COLOR_INFOBK, RGB(255, 255, 225)},
                                           ColourCase{COLOR_MENUBAR, RGB(236, 233, 216)}));

TEST(SystemColours, ValuesAreCOLORREFWithRedInTheLowByte) {
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), 0x00C56A31u);
    EXPECT_EQ(GetSysColor(31), 0u);
    EXPECT_EQ(GetSysColor(-1), 0u);
}

TEST(SystemColours, ResolveLeavesRgbAndTakesEveryHighValueAsSystemColour) {
    EXPECT_EQ(resolveColour(0x00123456u), 0x00123456u);
    EXPECT_EQ(resolveColour(0x00FFFFFFu), 0x00FFFFFFu);
    EXPECT_EQ(resolveColour(0x0100000Fu),
              RGB(236, 233, 216)); // high byte set counts, as stored values may
    EXPECT_EQ(resolveColour(0x800000FFu), 0u);
    EXPECT_EQ(colourToQColor(0x8000000Fu), QColor(236, 233, 216));
}

TEST(SystemColours, OleTranslationRefusesWhatIsNeitherRgbNorASystemColour) {
    gdi::COLORREF out = 0xDEAD;
    EXPECT_TRUE(oleTranslateColor(0x8000000Fu, &out));
    EXPECT_EQ(out, RGB(236, 233, 216));
    EXPECT_TRUE(oleTranslateColor(0x00010203u, &out));
    EXPECT_EQ(out, 0x00010203u);
    out = 0xDEAD;
    EXPECT_FALSE(oleTranslateColor(0x80000020u, &out));
    EXPECT_FALSE(oleTranslateColor(0x01000000u, &out));
    EXPECT_EQ(out, 0xDEADu);
}

struct PathCase {
    const char* name;
    const char* stored;
    const char* expected; // relative to the current folder "/work/app", or absolute
};

class SoundPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(SoundPathTest, BackslashIsAFolderSeparator) {
    EXPECT_EQ(resolveSoundPath(QString::fromUtf8(GetParam().stored), QStringLiteral("/work/app")),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SoundPathTest,
    ::testing::Values(
        PathCase{"Default", ".\\resources\\click.wav", "/work/app/resources/click.wav"},
        PathCase{"Plain", "click.wav", "/work/app/click.wav"},
        PathCase{"Parent", "..\\sounds\\a.wav", "/work/sounds/a.wav"},
        PathCase{"ForwardSlashes", "./resources/over.wav", "/work/app/resources/over.wav"},
        PathCase{"Absolute", "/usr/share/sounds/x.wav", "/usr/share/sounds/x.wav"},
        PathCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SoundPath, DefaultNameAgainstTheProcessFolder) {
    EXPECT_EQ(resolveSoundPath(QStringLiteral(".\\resources\\click.wav")),
              QDir::cleanPath(QDir::currentPath() + QStringLiteral("/resources/click.wav")));
}

TEST(Sound, MissingFileReturnsAtOnceWithoutPlaying) {
    CanberraSoundService sound;
    QTemporaryDir dir;
    EXPECT_FALSE(sound.playFile(dir.filePath(QStringLiteral("no-such.wav"))));
    EXPECT_FALSE(sound.playFile(QString()));
    EXPECT_FALSE(sound.playFile(dir.path())); // a folder is not a sound
}

TEST(Sound, ExistingFileIsHandedOnAndShutdownIsClean) {
    // Whether a sound server is there or not, playing returns at once and the service
    // shuts down without hanging.
    const QString click =
        QString::fromUtf8(velmora::test::kAssetsDir) + QStringLiteral("/resources/click.wav");
    if (!QFile::exists(click))
        GTEST_SKIP() << "no click sound in the assets";
    auto sound = std::make_unique<CanberraSoundService>();
    EXPECT_TRUE(sound->playFile(click));
    sound.reset();
    // An unplayable file (not a wav at all) is skipped just as silently.
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.wav")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a sound");
    junk.close();
    CanberraSoundService second;
    EXPECT_TRUE(second.playFile(junk.fileName()));
}

struct ShellCase {
    const char* name;
    const char* target;
    const char* url;
};

class ShellTargetTest : public ::testing::TestWithParam<ShellCase> {};

TEST_P(ShellTargetTest, TargetBecomesTheUrlHandedToTheDesktop) {
    EXPECT_EQ(shellTargetUrl(QString::fromUtf8(GetParam().target)).toString(),
              QString::fromUtf8(GetParam().url));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ShellTargetTest,
    ::testing::Values(ShellCase{"Mail", "mailto:someone@example.com", "mailto:someone@example.com"},
                      ShellCase{"Web", "https://example.com/plugin", "https://example.com/plugin"},
                      ShellCase{"NoScheme", "www.example.com", "http://www.example.com"},
                      ShellCase{"LocalFile", "/", "file:///"}, ShellCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shell, EmptyTargetOpensNothing) {
    DesktopShellService shell;
    EXPECT_FALSE(shell.ShellOpen(QString()));
    EXPECT_FALSE(shell.ShellOpen(QStringLiteral("   ")));
}

// xdg-open starts, then finds no browser: only its exit status tells. A stand-in on PATH
// records what it was given and exits as told; without one on PATH nothing can open.
struct WatchedOpenCase {
    const char* name;
    const char* script; // the stand-in's body; nullptr for no xdg-open at all
    bool opened;
};

class WatchedOpenTest : public ::testing::TestWithParam<WatchedOpenCase> {};

TEST_P(WatchedOpenTest, ReportsHowXdgOpenEnded) {
    const WatchedOpenCase& c = GetParam();
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    if (c.script != nullptr) {
        QFile opener(bin.filePath("xdg-open"));
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
        opener.write(QByteArray("#!/bin/sh\nprintf '%s' \"$1\" >\"${0%/*}/given\"\n") + c.script +
                     "\n");
        opener.close();
        opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8());
    DesktopShellService shell;
    QObject receiver;
    std::vector<bool> told;
    shell.ShellOpenWatched(QStringLiteral("https://example.com/a b"), &receiver,
                           [&told](bool opened) { told.push_back(opened); });
    qputenv("PATH", path);
    EXPECT_TRUE(QTest::qWaitFor([&told] { return !told.empty(); }, 20000));
    ASSERT_EQ(told, std::vector<bool>{c.opened});
    if (c.script != nullptr) {
        QFile given(bin.filePath("given"));
        ASSERT_TRUE(given.open(QIODevice::ReadOnly));
        EXPECT_EQ(given.readAll(), "https://example.com/a%20b");
    }
}

INSTANTIATE_TEST_SUITE_P(Shell, WatchedOpenTest,
                         ::testing::Values(WatchedOpenCase{"Opened", "exit 0", true},
                                           WatchedOpenCase{"NoBrowserFound", "exit 3", false},
                                           WatchedOpenCase{"KilledBySignal", "kill -9 $$", false},
                                           WatchedOpenCase{"NoXdgOpen", nullptr, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cursor, FindsTheWidgetUnderAPointAndHonoursItsShape) {
    QWidget window;
    window.resize(100, 60);
    QWidget button(&window);
    button.setGeometry(10, 10, 75, 23);
    button.setMask(QRegion(0, 0, 75, 23).subtracted(QRegion(0, 0, 2, 1)));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QtCursorService cursor;
    EXPECT_EQ(cursor.WindowFromPoint(button.mapToGlobal(QPoint(30, 10))), &button);
    EXPECT_EQ(cursor.WindowFromPoint(button.mapToGlobal(QPoint(0, 0))), &window); // cut away
    EXPECT_EQ(cursor.WindowFromPoint(window.mapToGlobal(QPoint(95, 55))), &window);

    QCursor::setPos(button.mapToGlobal(QPoint(5, 5)));
    EXPECT_EQ(cursor.GetCursorPos(), button.mapToGlobal(QPoint(5, 5)));
}

TEST(Fonts, MsSansSerifIsSubstitutedAndKeepsItsSize) {
    registerFontSubstitutions(); // a second call changes nothing
    const QFont font = defaultButtonFont();
    EXPECT_EQ(font.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.25);
    EXPECT_EQ(QFontInfo(font).family(), msSansSerifSubstitute());
    const QStringList substitutes = QFont::substitutes(QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(substitutes.filter(msSansSerifSubstitute(), Qt::CaseInsensitive).size(), 1);
}

} // namespace
