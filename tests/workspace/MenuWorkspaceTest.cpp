// The menu workspace on real game files in a temporary folder, with fake dialogs and message
// boxes and a small script as the editor.
#include "DdsImages.h"
#include "FakeServices.h"
#include "GameFiles.h"
#include "QtFileHelpers.h"
#include "TestPaths.h"

#include "button_xp/Button_XP.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "formats/qt/QtPictureReader.h"
#include "gamefile/GameFileVerification.h"
#include "windows/PreviewWindow.h"
#include "windows/frmMain.h"
#include "workspace/MenuWorkspace.h"
#include "workspace/TileWork.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>

namespace {

namespace fs = std::filesystem;
using velmora::MenuAnimationCatalogue;
using velmora::test::Bytes;
using velmora::workspace::MenuWorkspace;
using velmora::workspace::TileState;

// A flat colour per tile, so that a thumbnail or picture tells which tile it came from.
QRgb colourOf(int position) {
    return qRgb(20 * position, 255 - 15 * position, 90);
}

Bytes gameFileFor(int position, QRgb colour) {
    const auto flat = [colour](int, int, std::uint8_t* rgba) {
        rgba[0] = static_cast<std::uint8_t>(qRed(colour));
        rgba[1] = static_cast<std::uint8_t>(qGreen(colour));
        rgba[2] = static_cast<std::uint8_t>(qBlue(colour));
        rgba[3] = 255;
    };
    const std::string name(
        MenuAnimationCatalogue::rows()[static_cast<std::size_t>(position)].textureName);
    return velmora::test::gameFileAround(velmora::test::zlibStream(
        velmora::test::textureRecord(velmora::test::paintDdsImage(flat), name), 6));
}

// Waits for the window's work, handling its events meanwhile. (QTest's QTRY_ macros report to
// QTest's own log, which GoogleTest never reads: a wait of theirs that ran out passed silently.)
template <typename Condition> bool eventually(Condition&& condition, int timeoutMs = 30000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QTest::qWait(10);
    }
    return true;
}

// One pixel of a picture as ImageMagick decodes it, independently of Velmora's readers; 0 when
// it cannot decode the file.
QRgb pixelByImageMagick(const QString& file, int x, int y) {
    QProcess convert;
    convert.start("convert", {file, "-crop", QStringLiteral("1x1+%1+%2").arg(x).arg(y), "+repage",
                              "-depth", "8", "rgba:-"});
    if (!convert.waitForFinished(60000) || convert.exitCode() != 0)
        return 0;
    const QByteArray rgba = convert.readAllStandardOutput();
    if (rgba.size() != 4)
        return 0;
    const auto at = [&rgba](int i) { return static_cast<int>(static_cast<std::uint8_t>(rgba[i])); };
    return qRgba(at(0), at(1), at(2), at(3));
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString textureStem(int position) {
    const auto name =
        MenuAnimationCatalogue::rows()[static_cast<std::size_t>(position)].textureName;
    return QFileInfo(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())))
        .completeBaseName();
}

// The picture a game file holds, unpacked by the core into a PNG and read back.
QImage unpacked(const fs::path& gameFile, const QString& scratch) {
    velmora::images::QtPictureReader pictures;
    if (!velmora::workspace::unpackTile(gameFile, fs::path(scratch.toStdString()), pictures))
        return {};
    return QImage(scratch);
}

class MenuWorkspaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        QDir(m_root.path()).mkpath("menu");
        qputenv("XDG_DATA_HOME", path("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        // The editor: writes the file it was given into a marker file, and counts its starts.
        const QString script = path("editor.sh");
        writeEditor(script);
        qputenv("VELMORA_EDITOR", ("'" + script + "'").toUtf8());
    }

    // An editor script that writes into the test's root folder, wherever the script lies.
    void writeEditor(const QString& script) {
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QString root = m_root.path();
        file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1/starts'\n"
                                  "printf '%s' \"$1\" > '%1/marker.tmp'\n"
                                  "mv '%1/marker.tmp' '%1/marker'\n")
                       .arg(root)
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override {
        m_window.reset();
        ::chmod(path("menu").toLocal8Bit().constData(), 0755);
    }

    QString path(const QString& name) const { return m_root.path() + "/" + name; }
    fs::path menuFile(const QString& name) const {
        return fs::path(path("menu/" + name).toStdString());
    }

    // 13 game files named anything but their tiles, written in a shuffled order.
    void writeMenu() {
        std::vector<int> order(13);
        for (int i = 0; i < 13; ++i)
            order[static_cast<std::size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (std::size_t i = 0; i < order.size(); ++i)
            velmora::test::writeFile(menuFile(QStringLiteral("part%1.dat").arg(i)),
                                     gameFileFor(order[i], colourOf(order[i])));
    }

    // The program's folders of the build tree, with the fake dialogs, messages and shell.
    velmora::AppContext context() {
        velmora::AppContext context;
        context.programFolder = fs::path(velmora::test::kBinDir);
        context.resourcesFolder = QString::fromLatin1(velmora::test::kBinDir) + "/resources";
        context.dialogs = &m_dialogs;
        context.messages = &m_messages;
        context.shell = &m_shell;
        return context;
    }

    MenuWorkspace& open() {
        m_window = std::make_unique<MenuWorkspace>(context(), path("menu"));
        return *m_window;
    }

    static QRgb thumbnailCentre(const MenuWorkspace& window, int position) {
        const QImage& image = window.tile(position).thumbnail();
        return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
    }

    QTemporaryDir m_root;
    velmora::test::FakeFileDialogService m_dialogs;
    velmora::test::FakeMessageBoxService m_messages;
    velmora::test::FakeShellService m_shell;
    std::unique_ptr<MenuWorkspace> m_window;
};

TEST_F(MenuWorkspaceTest, FindsTilesByTextureNameAndShowsADuplicateAsAConflictItNeverWrites) {
    writeMenu();
    // A second file holding Community, and a file that is no game file at all.
    velmora::test::writeFile(menuFile("another-community.bin"), gameFileFor(4, qRgb(1, 2, 3)));
    velmora::test::writeText(menuFile("notes.txt"), "not a tile");
    const Bytes conflicting = velmora::test::readFile(menuFile("another-community.bin"));
    MenuWorkspace& window = open();

    EXPECT_TRUE(window.windowTitle().contains("Menu")) << window.windowTitle().toStdString();
    for (int position = 0; position < 13; ++position) {
        SCOPED_TRACE(position);
        if (position == 4) {
            EXPECT_EQ(window.tile(position).state(), TileState::Conflict);
            EXPECT_TRUE(window.tile(position).stateText().contains("another-community.bin"));
            EXPECT_FALSE(window.gameFileOf(position));
            continue;
        }
        EXPECT_EQ(window.tile(position).state(), TileState::Original);
        ASSERT_TRUE(window.gameFileOf(position));
        // The file really holds this tile: its picture is the tile's colour.
        ASSERT_TRUE(eventually([&] { return !window.tile(position).thumbnail().isNull(); }));
        EXPECT_EQ(thumbnailCentre(window, position), colourOf(position));
    }
    // Neither file of the conflict is edited nor replaced.
    window.edit(4);
    window.replace(4, path("menu/notes.txt"));
    EXPECT_EQ(m_messages.shown.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(path("marker")));
    EXPECT_EQ(velmora::test::readFile(menuFile("another-community.bin")), conflicting);
}

// A game file cut short (a copy that stopped halfway) cannot say which tile it holds: its tile
// shows missing, and the status line names the file and why, until it is gone. A file that is
// no game file at all, or another kind of the game's files, is not named.
TEST_F(MenuWorkspaceTest, ADamagedGameFileIsNamedWithWhyItsTileIsMissing) {
    writeMenu();
    const fs::path whole = menuFile("part3.dat");
    Bytes cut = velmora::test::readFile(whole);
    cut.resize(cut.size() / 2);
    velmora::test::writeFile(whole, cut);
    velmora::test::writeText(menuFile("noise.bin"), std::string(4096, 'x'));
    // Another kind of the game's files, with the magic but not a tile's header constants.
    Bytes otherKind = cut;
    otherKind[12] = 0x10;
    velmora::test::writeFile(menuFile("other-kind.bin"), otherKind);
    MenuWorkspace& window = open();
    int missing = 0;
    for (int position = 0; position < 13; ++position)
        missing += window.tile(position).state() == TileState::Missing ? 1 : 0;
    EXPECT_EQ(missing, 1);
    EXPECT_TRUE(window.status().contains("part3.dat (")) << window.status().toStdString();
    EXPECT_TRUE(window.status().contains("cut short")) << window.status().toStdString();
    EXPECT_FALSE(window.status().contains("noise.bin")) << window.status().toStdString();
    EXPECT_FALSE(window.status().contains("other-kind.bin")) << window.status().toStdString();

    fs::remove(whole);
    ASSERT_TRUE(eventually([&] { return !window.status().contains("part3.dat"); }))
        << window.status().toStdString();
}

TEST_F(MenuWorkspaceTest, FocusStartsOnExhibitionAndTheArrowsFollowTheMenusLayout) {
    writeMenu();
    MenuWorkspace& window = open();
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(eventually([&] { return QApplication::focusWidget() == &window.tile(0); }));
    struct Step {
        Qt::Key key;
        int expected;
    };
    const Step steps[] = {{Qt::Key_Left, 0}, {Qt::Key_Right, 1}, {Qt::Key_Down, 5},
                          {Qt::Key_Down, 9}, {Qt::Key_Down, 12}, {Qt::Key_Down, 12},
                          {Qt::Key_Up, 8},   {Qt::Key_Up, 4},    {Qt::Key_Up, 0}};
    for (const Step& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key);
        ASSERT_EQ(QApplication::focusWidget(), &window.tile(step.expected)) << "key " << step.key;
    }
    // Return edits the focused tile.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(eventually([&] { return QFileInfo::exists(path("marker")); }));
}

TEST_F(MenuWorkspaceTest, EditUnpacksTheTileIntoTheEditFolderAndStartsTheEditorOnIt) {
    writeMenu();
    MenuWorkspace& window = open();
    const fs::path gameFile = *window.gameFileOf(3);
    const Bytes before = velmora::test::readFile(gameFile);
    window.edit(3);
    ASSERT_TRUE(eventually([&] { return QFileInfo::exists(path("marker")); }));
    const QString picture =
        QString::fromStdString(velmora::test::readText(path("marker").toStdString()));
    EXPECT_EQ(picture.toStdString(), window.editPictureOf(3).string());
    // Kept among the user's data, never beside the program.
    EXPECT_TRUE(picture.startsWith(path("data/velmora/menus/"))) << picture.toStdString();
    EXPECT_TRUE(picture.endsWith("/edit/topModeSelect_Mov03_ML.png"));
    // Read with Qt's own PNG reader: the tile's pixels.
    const QImage image(picture);
    ASSERT_EQ(image.size(), QSize(1024, 1024));
    EXPECT_EQ(image.pixel(512, 512), colourOf(3));
    // The untouched picture is not packed back.
    QTest::qWait(1500);
    EXPECT_EQ(velmora::test::readFile(gameFile), before);
    EXPECT_EQ(window.tile(3).state(), TileState::Original);

    // An editor that cannot be started says how to choose one.
    QFile::remove(path("marker"));
    qputenv("VELMORA_EDITOR", "/nonexistent/editor --flag");
    window.edit(5);
    ASSERT_TRUE(eventually([&] { return m_messages.shown.size() == 1u; }));
    EXPECT_TRUE(m_messages.shown.back().contains("Editor..."))
        << m_messages.shown.back().toStdString();
    // Without any editor set, the desktop's application for PNG opens it.
    qunsetenv("VELMORA_EDITOR");
    window.edit(6);
    ASSERT_TRUE(eventually([&] { return m_shell.opened.size() == 1u; }));
    EXPECT_TRUE(m_shell.opened.back().endsWith("topModeSelect_Mov06_OL.png"));
}

TEST_F(MenuWorkspaceTest, EverySaveInTheEditFolderReachesTheTilesGameFile) {
    writeMenu();
    MenuWorkspace& window = open();
    ASSERT_TRUE(window.watching()) << window.status().toStdString();
    const fs::path gameFile = *window.gameFileOf(7);
    window.edit(7);
    ASSERT_TRUE(eventually([&] { return QFileInfo::exists(path("marker")); }));
    const QString picture = QString::fromStdString(window.editPictureOf(7).string());
    struct Save {
        const char* how;
        QRgb colour;
    };
    // As editors save: written in place, and written aside then renamed over the picture.
    for (const Save& save :
         {Save{"in place", qRgb(10, 200, 10)}, Save{"renamed", qRgb(250, 250, 0)}}) {
        SCOPED_TRACE(save.how);
        QImage image(1024, 1024, QImage::Format_ARGB32);
        image.fill(save.colour);
        if (std::string(save.how) == "in place") {
            ASSERT_TRUE(image.save(picture, "PNG"));
        } else {
            ASSERT_TRUE(image.save(picture + ".part", "PNG"));
            ASSERT_EQ(std::rename((picture + ".part").toLocal8Bit().constData(),
                                  picture.toLocal8Bit().constData()),
                      0);
        }
        ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 7) == save.colour; }, 20000))
            << window.tile(7).stateText().toStdString();
        EXPECT_EQ(window.tile(7).state(), TileState::Edited);
    }
    // The game file holds the save, with the tile's own texture name: read back through the
    // workspace's own scan of the folder, which knows tiles only by that name.
    auto scan = velmora::workspace::scanMenuFolder(gameFile.parent_path());
    ASSERT_TRUE(scan);
    ASSERT_EQ(scan->tiles[7].size(), 1u);
    EXPECT_EQ(scan->tiles[7].front().path, gameFile);
    EXPECT_TRUE(m_messages.shown.empty());
    // And the original is still there to go back to.
    window.restoreOriginal(7);
    ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 7) == colourOf(7); }));
}

// Our edit folder removed or moved away under an open window (a clean-up of the data folder):
// it is made and watched again, so the next save is packed. The watch used to end unseen and
// every later save went unpacked.
TEST_F(MenuWorkspaceTest, AnEditFolderThatGoesIsMadeAgainAndItsSavesStillPacked) {
    writeMenu();
    MenuWorkspace& window = open();
    ASSERT_TRUE(window.watching()) << window.status().toStdString();
    const fs::path editFolder = window.editPictureOf(7).parent_path();
    const struct {
        const char* what;
        std::function<void()> go;
        QRgb colour;
    } cases[] = {
        {"removed", [&] { fs::remove_all(editFolder); }, qRgb(200, 30, 30)},
        {"moved away",
         [&] {
             fs::remove_all(editFolder.string() + "-moved");
             fs::rename(editFolder, editFolder.string() + "-moved");
         },
         qRgb(30, 30, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.go();
        ASSERT_TRUE(eventually([&] {
            return window.status().contains("edit folder") && fs::is_directory(editFolder);
        })) << window.status().toStdString();
        QImage image(1024, 1024, QImage::Format_ARGB32);
        image.fill(c.colour);
        ASSERT_TRUE(image.save(QString::fromStdString(window.editPictureOf(7).string()), "PNG"));
        ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 7) == c.colour; }, 20000))
            << window.tile(7).stateText().toStdString();
    }
}

TEST_F(MenuWorkspaceTest, AReadOnlyFolderIsRefusedBeforeAnyEditorStarts) {
    writeMenu();
    ASSERT_EQ(::chmod(path("menu").toLocal8Bit().constData(), 0555), 0);
    MenuWorkspace& window = open();
    window.edit(0);
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(m_messages.shown.front().contains("read-only"));
    QTest::qWait(200);
    EXPECT_FALSE(QFileInfo::exists(path("marker")));
    EXPECT_FALSE(fs::exists(window.editPictureOf(0)));
}

TEST_F(MenuWorkspaceTest, ReplaceKeepsTheOriginalAndRestoreGivesItBackByteForByte) {
    writeMenu();
    MenuWorkspace& window = open();
    const fs::path gameFile = *window.gameFileOf(2);
    const Bytes original = velmora::test::readFile(gameFile);
    QImage picture(1024, 1024, QImage::Format_ARGB32);
    picture.fill(qRgb(200, 10, 10));
    ASSERT_TRUE(picture.save(path("red.png")));

    window.replace(2, path("red.png"));
    ASSERT_TRUE(eventually([&] { return window.tile(2).state() == TileState::Edited; }));
    EXPECT_NE(velmora::test::readFile(gameFile), original);
    ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 2) == qRgb(200, 10, 10); }));
    EXPECT_TRUE(m_messages.shown.empty());

    // A second replace keeps the first original, not the replaced file.
    window.replace(2, path("red.png"));
    ASSERT_TRUE(eventually([&] { return window.tile(2).state() == TileState::Edited; }));
    window.restoreOriginal(2);
    EXPECT_EQ(velmora::test::readFile(gameFile), original);
    EXPECT_EQ(window.tile(2).state(), TileState::Original);
    ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 2) == colourOf(2); }));

    // Another program writes the file: it is read again, and a replace is refused, not
    // written over it.
    const Bytes theirs = gameFileFor(2, qRgb(0, 0, 255));
    velmora::test::writeFile(gameFile, theirs);
    window.replace(2, path("red.png"));
    EXPECT_EQ(velmora::test::readFile(gameFile), theirs);
    ASSERT_FALSE(m_messages.shown.empty());
    EXPECT_TRUE(m_messages.shown.back().contains("Another program"))
        << m_messages.shown.back().toStdString();
    ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 2) == qRgb(0, 0, 255); }));
}

TEST_F(MenuWorkspaceTest, AFolderWithoutGameFilesOffersAnother) {
    velmora::test::writeText(menuFile("readme.txt"), "nothing here");
    MenuWorkspace& window = open();
    window.show();
    ASSERT_TRUE(eventually([&] { return m_messages.asked.size() == 1u; }));
    EXPECT_TRUE(m_messages.asked.front().contains("Choose another folder"));
    for (int position = 0; position < 13; ++position)
        EXPECT_EQ(window.tile(position).state(), TileState::Missing);
}

// A menu folder renamed or removed while its window is open: the tiles go, the window says why
// once and offers to choose the folder again, Edit says the same, and the folder's return
// brings the tiles back. A renamed folder used to leave every tile in place and Edit call the
// game file read-only.
TEST_F(MenuWorkspaceTest, AFolderMovedAwayOrRemovedIsSaidAndItsReturnSeen) {
    struct Case {
        const char* what;
        std::function<void()> go;
        std::function<void()> comeBack;
    };
    const fs::path menu = fs::path(path("menu").toStdString());
    const fs::path moved = fs::path(path("menu-renamed").toStdString());
    const Case cases[] = {
        {"moved away", [&] { fs::rename(menu, moved); }, [&] { fs::rename(moved, menu); }},
        {"removed", [&] { fs::remove_all(menu); },
         [&] {
             fs::create_directory(menu);
             writeMenu();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeMenu();
        m_messages.asked.clear();
        m_messages.shown.clear();
        MenuWorkspace& window = open();
        window.show();
        ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 12) == colourOf(12); }));

        c.go();
        ASSERT_TRUE(eventually([&] {
            for (int position = 0; position < 13; ++position)
                if (window.tile(position).state() != TileState::Missing)
                    return false;
            return true;
        })) << window.status().toStdString();
        EXPECT_TRUE(window.status().contains("was moved away or removed"))
            << window.status().toStdString();
        ASSERT_TRUE(eventually([&] { return !m_messages.asked.empty(); }));
        EXPECT_TRUE(m_messages.asked.front().contains("Choose the menu's folder again"));
        window.edit(0);
        ASSERT_EQ(m_messages.shown.size(), 1u);
        EXPECT_TRUE(m_messages.shown.front().contains("was moved away or removed"))
            << m_messages.shown.front().toStdString();
        EXPECT_FALSE(QFileInfo::exists(path("marker")));

        c.comeBack();
        ASSERT_TRUE(eventually([&] { return thumbnailCentre(window, 12) == colourOf(12); }))
            << window.status().toStdString();
        EXPECT_EQ(window.tile(0).state(), TileState::Original);
        EXPECT_FALSE(window.status().contains("moved away")) << window.status().toStdString();
        EXPECT_EQ(m_messages.asked.size(), 1u);
        m_window.reset();
    }
}

// The main window opens a menu without typing: its Menu... button asks for the folder, and a
// folder dropped on it opens as a menu, while a dropped file still goes to a path box.
TEST_F(MenuWorkspaceTest, TheMainWindowOpensAMenuFromItsButtonAndFromADroppedFolder) {
    writeMenu();
    velmora::AppContext context = this->context();
    QStringList opened;
    context.openMenu = [&opened](const QString& folder) { opened << folder; };
    velmora::frmMain window(context);
    window.Form_Load();

    m_dialogs.confirm(path("menu"));
    velmora::Button_XP& button = window.cmdMenu();
    ASSERT_TRUE(button.host().isVisible());
    QTest::mouseClick(&button.host(), Qt::LeftButton, {}, button.host().rect().center());
    ASSERT_EQ(m_dialogs.requests.size(), 1u);
    EXPECT_EQ(m_dialogs.requests.front().kind, velmora::FileDialogKind::Folder);
    ASSERT_EQ(opened, QStringList{path("menu")});

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path("menu"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_TRUE(eventually([&] { return opened.size() == 2; }));
    EXPECT_EQ(opened.back(), path("menu"));
    EXPECT_TRUE(m_messages.shown.empty());
}

// Edit unpacks on a worker: the tile says so meanwhile, a second Edit starts nothing more, and a
// window closed before the unpack ends starts no editor and leaves a whole picture or none.
TEST_F(MenuWorkspaceTest, EditUnpacksOffTheWindowsThreadOnceAndAClosedWindowStartsNoEditor) {
    writeMenu();
    {
        MenuWorkspace& window = open();
        window.edit(3);
        EXPECT_EQ(window.tile(3).state(), TileState::Opening);
        EXPECT_EQ(window.tile(3).stateText(), "opening...");
        window.edit(3); // pressed again while it unpacks
        // No pack lands between the unpack and its editor.
        QImage red(1024, 1024, QImage::Format_ARGB32);
        red.fill(qRgb(200, 10, 10));
        ASSERT_TRUE(red.save(path("red.png")));
        window.replace(3, path("red.png"));
        ASSERT_EQ(m_messages.shown.size(), 1u);
        EXPECT_TRUE(m_messages.shown.back().contains("being opened for editing"));
        ASSERT_TRUE(eventually([&] { return QFileInfo::exists(path("marker")); }));
        QTest::qWait(500);
        EXPECT_EQ(velmora::test::readText(path("starts").toStdString()),
                  window.editPictureOf(3).string() + "\n");
        EXPECT_EQ(window.tile(3).state(), TileState::Original);
    }
    QFile::remove(path("marker"));
    for (int position : {5, 9}) {
        SCOPED_TRACE(position);
        MenuWorkspace& window = open();
        const QString edit = QString::fromStdString(window.editFolder().string());
        const QStringList before = filesIn(edit);
        window.edit(position);
        ASSERT_EQ(window.tile(position).state(), TileState::Opening);
        m_window.reset(); // closed at once
        QThreadPool::globalInstance()->waitForDone();
        QTest::qWait(300);
        EXPECT_FALSE(QFileInfo::exists(path("marker")));
        const QString picture = textureStem(position) + ".png";
        QStringList added = filesIn(edit);
        for (const QString& name : before)
            added.removeOne(name);
        EXPECT_TRUE(added.isEmpty() || added == QStringList{picture})
            << added.join(' ').toStdString();
        if (!added.isEmpty()) {
            EXPECT_EQ(QImage(edit + "/" + picture).size(), QSize(1024, 1024));
        }
    }
}

TEST_F(MenuWorkspaceTest, ExportAllWritesEveryTileAsADecodablePictureAndReplacesOnlyWhenTold) {
    writeMenu();
    MenuWorkspace& window = open();
    struct Row {
        bool png;
        const char* extension;
    };
    for (const Row row : {Row{true, ".png"}, Row{false, ".dds"}}) {
        SCOPED_TRACE(row.extension);
        const QString target = path(QStringLiteral("export%1").arg(row.extension));
        QDir().mkpath(target);
        // One picture of the user's already there under a tile's name.
        const QString theirs = target + "/" + textureStem(4) + row.extension;
        velmora::test::writeText(fs::path(theirs.toStdString()), "mine");
        m_messages.shown.clear();
        m_messages.asked.clear();

        m_messages.answer = false;
        m_dialogs.confirm(target);
        window.exportAll(row.png);
        ASSERT_EQ(m_messages.asked.size(), 1u);
        EXPECT_TRUE(m_messages.asked.back().contains("Replace"))
            << m_messages.asked.back().toStdString();
        QTest::qWait(300);
        EXPECT_EQ(filesIn(target), QStringList{textureStem(4) + row.extension});
        EXPECT_EQ(velmora::test::readText(theirs.toStdString()), "mine");

        m_messages.answer = true;
        m_dialogs.confirm(target);
        window.exportAll(row.png);
        ASSERT_TRUE(eventually([&] { return m_messages.shown.size() == 1u; }, 60000));
        EXPECT_TRUE(m_messages.shown.back().startsWith("13 tiles exported"))
            << m_messages.shown.back().toStdString();
        QStringList expected;
        for (int position = 0; position < 13; ++position)
            expected << textureStem(position) + row.extension;
        expected.sort();
        EXPECT_EQ(filesIn(target), expected); // nothing else written, no work file left
        for (int position = 0; position < 13; ++position)
            EXPECT_EQ(
                pixelByImageMagick(target + "/" + textureStem(position) + row.extension, 700, 300),
                colourOf(position))
                << position;
    }
}

TEST_F(MenuWorkspaceTest, PackAllTakesPicturesByTileOrModeNameAndRefusesADamagedOneByName) {
    writeMenu();
    MenuWorkspace& window = open();
    std::array<Bytes, 13> before;
    for (int position = 0; position < 13; ++position)
        before.at(static_cast<std::size_t>(position)) =
            velmora::test::readFile(*window.gameFileOf(position));
    const QString pictures = path("pictures");
    QDir().mkpath(pictures);
    struct Picture {
        int position;
        QString name;
        QRgb colour;
        bool damaged;
    };
    const Picture rows[] = {{0, textureStem(0) + ".png", qRgb(250, 0, 0), false},
                            {3, "master-league.png", qRgb(0, 250, 0), false},
                            {10, "Gallery.bmp", qRgb(0, 0, 250), false},
                            {6, textureStem(6) + ".png", qRgb(9, 9, 9), true}};
    for (const Picture& row : rows) {
        QImage image(1024, 1024, QImage::Format_ARGB32);
        image.fill(row.colour);
        const QString file = pictures + "/" + row.name;
        ASSERT_TRUE(image.save(file));
        if (row.damaged)
            QFile(file).resize(QFileInfo(file).size() / 2); // an editor still saving
    }
    velmora::test::writeText(fs::path((pictures + "/notes.txt").toStdString()), "not a tile");

    m_dialogs.confirm(pictures);
    window.packAllFrom();
    ASSERT_TRUE(eventually([&] { return m_messages.shown.size() == 1u; }, 120000));
    const QString report = m_messages.shown.back();
    EXPECT_TRUE(report.startsWith("3 tiles packed")) << report.toStdString();
    EXPECT_TRUE(report.contains(textureStem(6) + ".png")) << report.toStdString();
    for (const Picture& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const fs::path gameFile = *window.gameFileOf(row.position);
        const auto index = static_cast<std::size_t>(row.position);
        if (row.damaged) {
            EXPECT_EQ(velmora::test::readFile(gameFile), before.at(index));
            EXPECT_EQ(window.tile(row.position).state(), TileState::Original);
            continue;
        }
        EXPECT_EQ(window.tile(row.position).state(), TileState::Edited);
        EXPECT_EQ(unpacked(gameFile, path("check.png")).pixel(100, 900), row.colour);
        // Kept as it was, for Restore.
        EXPECT_EQ(velmora::test::readFile(velmora::workspace::originalPath(
                      window.originalsFolder(), textureStem(row.position).toStdString() + ".tex")),
                  before.at(index));
    }
    window.restoreOriginal(3);
    EXPECT_EQ(velmora::test::readFile(*window.gameFileOf(3)), before.at(3));

    // A tile whose original cannot be kept is left as it is, never written without it. (A file
    // where the folder of originals belongs stops even the superuser.)
    const QString originals = QString::fromStdString(window.originalsFolder().string());
    ASSERT_TRUE(QDir().rename(originals, originals + ".away"));
    velmora::test::writeText(fs::path(originals.toStdString()), "in the way");
    QImage image(1024, 1024, QImage::Format_ARGB32);
    image.fill(qRgb(1, 100, 200));
    ASSERT_TRUE(image.save(pictures + "/" + textureStem(8) + ".png"));
    QFile::remove(pictures + "/" + textureStem(6) + ".png");
    m_messages.shown.clear();
    m_dialogs.confirm(pictures);
    window.packAllFrom();
    ASSERT_TRUE(eventually([&] { return m_messages.shown.size() == 1u; }, 120000));
    QFile::remove(originals);
    ASSERT_TRUE(QDir().rename(originals + ".away", originals));
    EXPECT_TRUE(m_messages.shown.back().contains("original cannot be kept"))
        << m_messages.shown.back().toStdString();
    EXPECT_EQ(velmora::test::readFile(*window.gameFileOf(8)), before.at(8));
}

// Closing the window stops Pack all after the tile in hand: the program does not go on packing
// unseen, and every game file is whole, packed or as it was.
TEST_F(MenuWorkspaceTest, ClosingTheWindowStopsPackAllWithEveryGameFileWhole) {
    writeMenu();
    MenuWorkspace& window = open();
    std::vector<fs::path> files;
    std::vector<Bytes> before;
    const QString pictures = path("pictures");
    QDir().mkpath(pictures);
    for (int position = 0; position < 13; ++position) {
        files.push_back(*window.gameFileOf(position));
        before.push_back(velmora::test::readFile(files.back()));
        QImage image(1024, 1024, QImage::Format_ARGB32);
        image.fill(qRgb(200, position * 15, 40));
        ASSERT_TRUE(image.save(pictures + "/" + textureStem(position) + ".png"));
    }
    m_dialogs.confirm(pictures);
    window.packAllFrom();
    m_window.reset();
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(60000));
    int packed = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (velmora::test::readFile(files[i]) == before[i])
            continue;
        ++packed;
        const auto check = velmora::conversion::checkGameFile(files[i]);
        ASSERT_TRUE(check) << files[i];
        EXPECT_TRUE(check->findings.empty()) << files[i];
    }
    EXPECT_LT(packed, 13) << "went on packing after the window closed";
}

TEST_F(MenuWorkspaceTest, PreviewFromATilesMenuShowsThatTile) {
    writeMenu();
    MenuWorkspace& window = open();
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(eventually([&] { return QApplication::focusWidget() == &window.tile(0); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    // The menu is open while the key is handled: its Preview is chosen once it shows.
    QStringList offered;
    QTimer::singleShot(200, [&offered] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions())
            offered << action->text();
        for (QAction* action : menu->actions())
            if (action->text() == "Preview")
                action->trigger();
        menu->close();
    });
    QTest::keyClick(&window.tile(2), Qt::Key_Menu);
    EXPECT_TRUE(offered.contains("Preview")) << offered.join(',').toStdString();
    velmora::PreviewWindow* preview = nullptr;
    ASSERT_TRUE(eventually([&] {
        return [&preview] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* found = qobject_cast<velmora::PreviewWindow*>(widget);
                    found && found->isVisible())
                    preview = found;
            return preview != nullptr;
        }();
    }));
    ASSERT_TRUE(eventually([&] { return preview->facts().contains(textureStem(2)); }));
    EXPECT_TRUE(preview->problem().isEmpty()) << preview->problem().toStdString();
}

TEST_F(MenuWorkspaceTest, TheEditorChosenIsRememberedAndUsedAndOneThatCannotStartSaysWhatToDo) {
    writeMenu();
    qunsetenv("VELMORA_EDITOR");
    QDir().mkpath(path("my tools"));
    struct Row {
        QString editor;
        bool starts;
    };
    const Row rows[] = {{path("my tools/the \"best\" editor's.sh"), true},
                        {path("my tools/not-a-program.txt"), false}};
    writeEditor(rows[0].editor);
    velmora::test::writeText(fs::path(rows[1].editor.toStdString()), "text");
    int position = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.editor.toStdString());
        MenuWorkspace& window = open(); // a new window each time: the choice outlives it
        m_dialogs.confirm(row.editor);
        window.chooseEditor();
        const QSettings settings(path("config/velmora/velmora.conf"), QSettings::IniFormat);
        EXPECT_FALSE(settings.value("workspace/editor").toString().isEmpty());
        m_messages.shown.clear();
        QFile::remove(path("marker"));
        window.edit(position);
        if (row.starts) {
            ASSERT_TRUE(eventually([&] { return QFileInfo::exists(path("marker")); }));
            EXPECT_EQ(velmora::test::readText(path("marker").toStdString()),
                      window.editPictureOf(position).string());
            EXPECT_TRUE(m_messages.shown.empty());
        } else {
            ASSERT_TRUE(eventually([&] { return m_messages.shown.size() == 1u; }));
            EXPECT_TRUE(m_messages.shown.back().contains("Editor..."))
                << m_messages.shown.back().toStdString();
            EXPECT_FALSE(QFileInfo::exists(path("marker")));
        }
        EXPECT_TRUE(m_shell.opened.empty()); // never the desktop's default instead
        ++position;
    }
}

TEST_F(MenuWorkspaceTest, ATooDetailedReplacementIsFittedOnlyWhenTheUserSaysYes) {
    writeMenu();
    MenuWorkspace& window = open();
    const fs::path gameFile = *window.gameFileOf(9);
    const Bytes original = velmora::test::readFile(gameFile);
    velmora::test::writeFile(fs::path(path("photo.dds").toStdString()),
                             velmora::test::photoLikeImage(4.0, 31));
    struct Row {
        bool yes;
        TileState state;
    };
    for (const Row row : {Row{false, TileState::Refused}, Row{true, TileState::Fitted}}) {
        SCOPED_TRACE(row.yes);
        m_messages.asked.clear();
        m_messages.shown.clear();
        m_messages.answer = row.yes;
        window.replace(9, path("photo.dds"));
        ASSERT_TRUE(eventually([&] { return window.tile(9).state() == row.state; }, 180000));
        ASSERT_EQ(m_messages.asked.size(), 1u);
        EXPECT_TRUE(m_messages.asked.back().contains("more detail"));
        if (!row.yes) {
            EXPECT_EQ(velmora::test::readFile(gameFile), original);
            EXPECT_EQ(m_messages.shown.size(), 1u);
        } else {
            EXPECT_TRUE(window.tile(9).stateText().contains("PSNR"))
                << window.tile(9).stateText().toStdString();
            EXPECT_NE(velmora::test::readFile(gameFile), original);
            EXPECT_EQ(velmora::test::readFile(gameFile).size(), 2400017u);
            EXPECT_TRUE(m_messages.shown.empty());
        }
    }
}

} // namespace
