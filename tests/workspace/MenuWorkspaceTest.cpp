// The menu workspace on real game files in a temporary folder, with fake dialogs and message
// boxes and a small script as the editor.
#include "DdsImages.h"
#include "FakeServices.h"
#include "GameFiles.h"
#include "QtFileHelpers.h"
#include "TestPaths.h"

#include "button_xp/Button_XP.h"
#include "catalogue/MenuAnimationCatalogue.h"
#include "windows/frmMain.h"
#include "workspace/MenuWorkspace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

#include <filesystem>
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

class MenuWorkspaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        QDir(m_root.path()).mkpath("menu");
        qputenv("XDG_DATA_HOME", path("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        // The editor: writes the file it was given into a marker file.
        const QString script = path("editor.sh");
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/marker.tmp\"\n"
                   "mv \"$(dirname \"$0\")/marker.tmp\" \"$(dirname \"$0\")/marker\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("VELMORA_EDITOR", ("'" + script + "'").toUtf8());
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

    MenuWorkspace& open() {
        velmora::AppContext context;
        context.programFolder = fs::path(velmora::test::kBinDir);
        context.resourcesFolder = QString::fromLatin1(velmora::test::kBinDir) + "/resources";
        context.dialogs = &m_dialogs;
        context.messages = &m_messages;
        context.shell = &m_shell;
        m_window = std::make_unique<MenuWorkspace>(context, path("menu"));
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
        QTRY_VERIFY(!window.tile(position).thumbnail().isNull());
        EXPECT_EQ(thumbnailCentre(window, position), colourOf(position));
    }
    // Neither file of the conflict is edited nor replaced.
    window.edit(4);
    window.replace(4, path("menu/notes.txt"));
    EXPECT_EQ(m_messages.shown.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(path("marker")));
    EXPECT_EQ(velmora::test::readFile(menuFile("another-community.bin")), conflicting);
}

TEST_F(MenuWorkspaceTest, FocusStartsOnExhibitionAndTheArrowsFollowTheMenusLayout) {
    writeMenu();
    MenuWorkspace& window = open();
    window.show();
    QApplication::setActiveWindow(&window);
    QTRY_COMPARE(QApplication::focusWidget(), &window.tile(0));
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
    QTRY_VERIFY(QFileInfo::exists(path("marker")));
}

TEST_F(MenuWorkspaceTest, EditUnpacksTheTileIntoTheEditFolderAndStartsTheEditorOnIt) {
    writeMenu();
    MenuWorkspace& window = open();
    const fs::path gameFile = *window.gameFileOf(3);
    const Bytes before = velmora::test::readFile(gameFile);
    window.edit(3);
    QTRY_VERIFY(QFileInfo::exists(path("marker")));
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
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(m_messages.shown.back().contains("Editor..."))
        << m_messages.shown.back().toStdString();
    // Without any editor set, the desktop's application for PNG opens it.
    qunsetenv("VELMORA_EDITOR");
    window.edit(6);
    ASSERT_EQ(m_shell.opened.size(), 1u);
    EXPECT_TRUE(m_shell.opened.back().endsWith("topModeSelect_Mov06_OL.png"));
}

TEST_F(MenuWorkspaceTest, EverySaveInTheEditFolderReachesTheTilesGameFile) {
    writeMenu();
    MenuWorkspace& window = open();
    ASSERT_TRUE(window.watching()) << window.status().toStdString();
    const fs::path gameFile = *window.gameFileOf(7);
    window.edit(7);
    QTRY_VERIFY(QFileInfo::exists(path("marker")));
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
        QTRY_COMPARE_WITH_TIMEOUT(thumbnailCentre(window, 7), save.colour, 20000);
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
    QTRY_COMPARE(thumbnailCentre(window, 7), colourOf(7));
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
    QTRY_COMPARE(window.tile(2).state(), TileState::Edited);
    EXPECT_NE(velmora::test::readFile(gameFile), original);
    QTRY_COMPARE(thumbnailCentre(window, 2), qRgb(200, 10, 10));
    EXPECT_TRUE(m_messages.shown.empty());

    // A second replace keeps the first original, not the replaced file.
    window.replace(2, path("red.png"));
    QTRY_COMPARE(window.tile(2).state(), TileState::Edited);
    window.restoreOriginal(2);
    EXPECT_EQ(velmora::test::readFile(gameFile), original);
    EXPECT_EQ(window.tile(2).state(), TileState::Original);
    QTRY_COMPARE(thumbnailCentre(window, 2), colourOf(2));

    // Another program writes the file: it is read again, and a replace is refused, not
    // written over it.
    const Bytes theirs = gameFileFor(2, qRgb(0, 0, 255));
    velmora::test::writeFile(gameFile, theirs);
    window.replace(2, path("red.png"));
    EXPECT_EQ(velmora::test::readFile(gameFile), theirs);
    ASSERT_FALSE(m_messages.shown.empty());
    EXPECT_TRUE(m_messages.shown.back().contains("Another program"))
        << m_messages.shown.back().toStdString();
    QTRY_COMPARE(thumbnailCentre(window, 2), qRgb(0, 0, 255));
}

TEST_F(MenuWorkspaceTest, AFolderWithoutGameFilesOffersAnother) {
    velmora::test::writeText(menuFile("readme.txt"), "nothing here");
    MenuWorkspace& window = open();
    window.show();
    QTRY_COMPARE(m_messages.asked.size(), 1u);
    EXPECT_TRUE(m_messages.asked.front().contains("Choose another folder"));
    for (int position = 0; position < 13; ++position)
        EXPECT_EQ(window.tile(position).state(), TileState::Missing);
}

// The main window opens a menu without typing: its Menu... button asks for the folder, and a
// folder dropped on it opens as a menu, while a dropped file still goes to a path box.
TEST_F(MenuWorkspaceTest, TheMainWindowOpensAMenuFromItsButtonAndFromADroppedFolder) {
    writeMenu();
    velmora::AppContext context;
    context.programFolder = fs::path(velmora::test::kBinDir);
    context.resourcesFolder = QString::fromLatin1(velmora::test::kBinDir) + "/resources";
    context.dialogs = &m_dialogs;
    context.messages = &m_messages;
    context.shell = &m_shell;
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
    QTRY_COMPARE(opened.size(), 2);
    EXPECT_EQ(opened.back(), path("menu"));
    EXPECT_TRUE(m_messages.shown.empty());
}

} // namespace
