#include "DdsImages.h"
#include "FakeServices.h"
#include "GameFiles.h"
#include "QtFileHelpers.h"
#include "TestPaths.h"

#include "base/GameFileLayout.h"
#include "button_xp/Button_XP.h"
#include "gamefile/GameFileVerification.h"
#include "velmora/Version.h"
#include "windows/PreviewWindow.h"
#include "windows/ScreenPlacement.h"
#include "windows/XpFrame.h"
#include "windows/frmMain.h"
#include "windows/frmhelp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using velmora::Button_XP;
using velmora::FileDialogKind;
using velmora::frmMain;
using velmora::test::FakeFileDialogService;
using velmora::test::FakeMessageBoxService;

constexpr std::uint32_t kOpenFlags = 0x201000;
// Overwrite prompt, no "create the file?" prompt.
constexpr std::uint32_t kSaveFlags = 0x200002;

const QStringList kWorkFiles = {"Temp", "Tempa", "Template", "zlib", "zlibPES", "DDS"};

QByteArray gameFileOf(const velmora::test::Bytes& image);

class FrmMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_appFolder.isValid());
        ASSERT_TRUE(m_userFolder.isValid());
        // Every test starts from a program folder holding only the texture header, and no
        // texture header of the user's own.
        ASSERT_TRUE(
            QFile::copy(QString::fromLatin1(velmora::test::kAssetsDir) + "/WE00", app("WE00")));
        qputenv("XDG_DATA_HOME", user("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", user("config").toUtf8());
        m_window = open();
    }

    std::unique_ptr<frmMain> open() {
        velmora::AppContext context;
        context.programFolder = std::filesystem::path(m_appFolder.path().toStdString());
        context.resourcesFolder = QString::fromLatin1(velmora::test::kBinDir) + "/resources";
        context.dialogs = &m_dialogs;
        context.messages = &m_messages;
        auto window = std::make_unique<frmMain>(context);
        window->Form_Load();
        return window;
    }

    void TearDown() override {
        m_window.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    QString app(const QString& name) const { return m_appFolder.path() + "/" + name; }
    QString user(const QString& name) const { return m_userFolder.path() + "/" + name; }
    QString work(const QString& name) const {
        return QString::fromStdString(m_window->workFolder().string()) + "/" + name;
    }

    static void click(Button_XP& button) {
        QTest::mouseClick(&button.host(), Qt::LeftButton, {}, button.host().rect().center());
    }

    void select(const QString& displayName) {
        const auto items = m_window->List1().findItems(displayName, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << displayName.toStdString();
        m_window->List1().setCurrentItem(items.front());
    }

    // The 48-byte texture header a written game file holds.
    static velmora::test::Bytes headerOf(const QString& gameFile) {
        const auto check =
            velmora::conversion::checkGameFile(std::filesystem::path(gameFile.toStdString()));
        if (!check || check->record.size() < 48) {
            return {};
        }
        return {check->record.begin(), check->record.begin() + 48};
    }

    void expectNoWorkFiles() const {
        for (const QString& name : kWorkFiles) {
            EXPECT_FALSE(QFileInfo::exists(work(name))) << name.toStdString();
        }
        EXPECT_TRUE(QFileInfo::exists(app("WE00")));
        EXPECT_EQ(QDir(m_appFolder.path()).entryList(QDir::Files), QStringList{"WE00"})
            << "nothing written where the program is installed";
    }

    // Chooses an image and an output path and a mode, then presses Pack.
    void packImage(const QString& image, const QString& output, const QString& mode) {
        m_dialogs.confirm(image);
        click(m_window->btnDF());
        m_dialogs.confirm(output);
        click(m_window->btnAF());
        select(mode);
        click(m_window->cmdSpakuj());
    }

    QTemporaryDir m_appFolder;
    QTemporaryDir m_userFolder;
    FakeFileDialogService m_dialogs;
    FakeMessageBoxService m_messages;
    std::unique_ptr<frmMain> m_window;
};

TEST_F(FrmMainTest, StartsWithNothingChosenAndBothWorkflowsDisabled) {
    EXPECT_EQ(m_window->windowTitle(), "Velmora v." VELMORA_VERSION);
    EXPECT_EQ(m_window->size(), QSize(780, 346));
    EXPECT_FALSE(m_window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(m_window->windowFlags() & Qt::WindowMaximizeButtonHint);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(m_window->txt(i).text().isEmpty()) << i;
    }
    EXPECT_EQ(m_window->Label1().text(), "Label1");
    EXPECT_FALSE(m_window->Label1().isVisible());
    EXPECT_FALSE(m_window->cmdSpakuj().Enabled());
    EXPECT_FALSE(m_window->cmdWypakuj().Enabled());
    EXPECT_TRUE(m_window->btnBF().Enabled());
    EXPECT_EQ(m_window->cmdTuto().Caption(), ">>>Help<<<");
    EXPECT_EQ(m_window->cmdSpakuj().ButtonStyle(), 3);
    EXPECT_FALSE(m_window->frame("Lenght")->isEnabled());
}

TEST_F(FrmMainTest, ListsEveryModeInCatalogueOrder) {
    const QStringList expected = {"Exhibition",
                                  "Champions League",
                                  "Become A Legend",
                                  "Master League",
                                  "Community",
                                  "League - Cup",
                                  "Online",
                                  "Training",
                                  "Edit",
                                  "System Settings",
                                  "Gallery  ",
                                  "Extra Content",
                                  "Copa Santander Libertadores"};
    QStringList listed;
    for (int i = 0; i < m_window->List1().count(); ++i) {
        listed << m_window->List1().item(i)->text();
    }
    EXPECT_EQ(listed, expected);
}

TEST_F(FrmMainTest, FramesAreCutToTheirVisiblePixels) {
    for (const char* caption : {"Pack", "Unpack", "Trybe", "Lenght", "Open Bin", "Save DDS",
                                "Open DDS", "Save Bin", "Help", "Credits:"}) {
        const velmora::XpFrame* frame = m_window->frame(caption);
        ASSERT_NE(frame, nullptr) << caption;
        const QRegion mask = frame->mask();
        EXPECT_FALSE(mask.isEmpty()) << caption;
        // The plain background inside the border is cut away; the border line stays.
        EXPECT_FALSE(mask.contains(QPoint(frame->width() / 2, frame->height() - 4))) << caption;
        EXPECT_TRUE(mask.contains(QPoint(frame->width() / 2, frame->height() - 1))) << caption;
    }
    // The background picture shows between the frames' controls.
    const QImage shot = m_window->grab().toImage();
    const QRgb face = qRgb(0xEC, 0xE9, 0xD8);
    const QPoint insideHelp = m_window->frame("Help")->geometry().topLeft() + QPoint(20, 50);
    EXPECT_NE(shot.pixel(insideHelp), face);
}

struct SelectionCase {
    const char* displayName;
    const char* textureName;
};

class SelectionTest : public FrmMainTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionTest, SetsTheTextureNameAndEnablesPack) {
    select(QString::fromLatin1(GetParam().displayName));
    EXPECT_EQ(m_window->Label1().text(), GetParam().textureName);
    EXPECT_TRUE(m_window->cmdSpakuj().Enabled());
    EXPECT_FALSE(m_window->cmdWypakuj().Enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SelectionTest,
    ::testing::Values(SelectionCase{"Online", "topModeSelect_Mov06_OL.tex"},
                      SelectionCase{"Copa Santander Libertadores", "topModeSelect_Mov12_SL.tex"},
                      SelectionCase{"Gallery  ", "topModeSelect_Mov10_Gl.tex"},
                      SelectionCase{"Community", "topModeSelect_Mov04_Cmm.tex"},
                      SelectionCase{"System Settings", "topModeSelect_Mov09_Sys.tex"},
                      SelectionCase{"Training", "topModeSelect_Mov07_Tl.tex"}));

TEST_F(FrmMainTest, ArrowKeysSelectEachEntryInTurn) {
    select("Exhibition");
    m_window->List1().setFocus();
    QTest::keyClick(&m_window->List1(), Qt::Key_Down);
    EXPECT_EQ(m_window->Label1().text(), "topModeSelect_Mov01_CL.tex");
    QTest::keyClick(&m_window->List1(), Qt::Key_Down);
    EXPECT_EQ(m_window->Label1().text(), "topModeSelect_Mov02_BL.tex");
}

struct BrowseCase {
    const char* button;
    FileDialogKind kind;
    const char* title;
    std::uint32_t flags;
    int box;
};

class BrowseTest : public FrmMainTest, public ::testing::WithParamInterface<BrowseCase> {
  protected:
    Button_XP& button() const {
        const QString name = GetParam().button;
        if (name == "btnBF")
            return m_window->btnBF();
        if (name == "btnCF")
            return m_window->btnCF();
        if (name == "btnDF")
            return m_window->btnDF();
        return m_window->btnAF();
    }
};

TEST_P(BrowseTest, ShowsItsDialogAndFillsItsBox) {
    const BrowseCase& c = GetParam();
    const QString chosen = user("chosen.file");
    ASSERT_TRUE(velmora::test::writeFile(chosen, "x"));
    m_dialogs.confirm(chosen);
    click(button());
    ASSERT_EQ(m_dialogs.requests.size(), 1u);
    const auto& request = m_dialogs.requests.back();
    EXPECT_EQ(request.kind, c.kind);
    EXPECT_EQ(request.title, c.title);
    EXPECT_EQ(request.flags, c.flags);
    EXPECT_TRUE(request.filter.isEmpty());
    EXPECT_EQ(m_window->txt(c.box).text(), chosen);
    EXPECT_EQ(m_window->CD().FileName, chosen);
}

TEST_P(BrowseTest, CancelChangesNothing) {
    const BrowseCase& c = GetParam();
    m_window->txt(c.box).setText("typed by hand");
    m_dialogs.cancel();
    click(button());
    ASSERT_EQ(m_dialogs.requests.size(), 1u);
    EXPECT_EQ(m_window->txt(c.box).text(), "typed by hand");
    EXPECT_FALSE(m_window->cmdWypakuj().Enabled());
    expectNoWorkFiles();
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, BrowseTest,
    ::testing::Values(BrowseCase{"btnBF", FileDialogKind::Open, "Open game file", kOpenFlags, 2},
                      // Save DDS takes a new name and asks before replacing a file.
                      BrowseCase{"btnCF", FileDialogKind::Save, "Save DDS image as", kSaveFlags, 3},
                      BrowseCase{"btnDF", FileDialogKind::Open, "Open picture", kOpenFlags, 0},
                      BrowseCase{"btnAF", FileDialogKind::Save, "Save game file as", kSaveFlags,
                                 1}),
    [](const auto& info) { return std::string(info.param.button); });

// Each dialog starts from its own box, an output dialog without one from a name made from its
// input's, never from the name the dialog before it left: the input itself.
TEST_F(FrmMainTest, EachDialogStartsFromItsOwnBoxNeverFromTheInput) {
    ASSERT_TRUE(velmora::test::writeFile(user("game.bin"), "game"));
    ASSERT_TRUE(velmora::test::writeFile(user("pic.png"), "picture"));
    ASSERT_TRUE(velmora::test::writeFile(user("odd.dds"), "a game file named as a DDS"));
    struct Step {
        Button_XP& button;
        std::optional<QString> answer;
        QString expectedStart;
    };
    const std::vector<Step> steps = {
        {m_window->btnBF(), user("game.bin"), ""},
        {m_window->btnCF(), user("tile"), user("game.dds")},
        {m_window->btnAF(), std::nullopt, ""}, // nothing to pack yet
        {m_window->btnDF(), user("pic.png"), ""},
        {m_window->btnAF(), std::nullopt, user("pic.bin")},
        {m_window->btnCF(), std::nullopt, user("tile")},
        {m_window->btnBF(), user("odd.dds"), user("game.bin")},
        {m_window->btnDF(), std::nullopt, user("pic.png")},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        m_dialogs.answers.push_back(steps[i].answer);
        click(steps[i].button);
        ASSERT_EQ(m_dialogs.requests.size(), i + 1);
        const auto& request = m_dialogs.requests.back();
        EXPECT_EQ(request.fileName, steps[i].expectedStart) << "dialog " << i;
        EXPECT_NE(request.fileName, ".Bin") << "dialog " << i;
        EXPECT_EQ(request.defaultExt, "") << "dialog " << i;
        EXPECT_EQ(request.flags & velmora::DialogFlags::CreatePrompt, 0u) << "dialog " << i;
        EXPECT_EQ(request.title.startsWith("Save"), request.kind == FileDialogKind::Save)
            << request.title.toStdString();
    }
    // An input whose name already ends as the output would is never offered as the output.
    m_window->txt(3).clear();
    m_dialogs.cancel();
    click(m_window->btnCF());
    EXPECT_EQ(m_dialogs.requests.back().fileName, "");
}

TEST_F(FrmMainTest, OpenBinCopiesTheGameFileToThePrivateWorkFolder) {
    const QString current = QDir::currentPath();
    ASSERT_TRUE(velmora::test::writeFile(user("a.bin"), "first"));
    ASSERT_TRUE(velmora::test::writeFile(user("b.bin"), "second game"));
    m_dialogs.confirm(user("a.bin"));
    click(m_window->btnBF());
    EXPECT_EQ(QDir::currentPath(), current) << "the current folder is never changed";
    EXPECT_EQ(velmora::test::readFile(work("Temp")), "first");
    m_dialogs.confirm(user("b.bin"));
    click(m_window->btnBF());
    EXPECT_EQ(velmora::test::readFile(work("Temp")), "second game");
    EXPECT_EQ(QFileInfo(QString::fromStdString(m_window->workFolder().string())).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions())
        << "the work folder is the user's alone";
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(FrmMainTest, AFailedBrowseCopySaysSoAtOnce) {
    m_dialogs.confirm(user("gone.bin"));
    click(m_window->btnBF());
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(m_messages.shown[0].startsWith("Copying \"" + user("gone.bin") + "\" failed: "))
        << m_messages.shown[0].toStdString();
    EXPECT_EQ(m_window->txt(2).text(), user("gone.bin"));
}

TEST_F(FrmMainTest, OpenDdsCopiesTheSaveBinFileNotTheImage) {
    ASSERT_TRUE(velmora::test::writeFile(user("image.dds"), "image"));
    m_dialogs.confirm(user("image.dds"));
    click(m_window->btnDF());
    EXPECT_FALSE(QFileInfo::exists(work("Template"))) << "Save Bin is still empty";
    ASSERT_TRUE(velmora::test::writeFile(user("old.bin"), "older game"));
    m_window->txt(1).setText(user("old.bin"));
    m_dialogs.confirm(user("image.dds"));
    click(m_window->btnDF());
    EXPECT_EQ(velmora::test::readFile(work("Template")), "older game");
}

TEST_F(FrmMainTest, EnablingIsOneWay) {
    m_dialogs.confirm(user("game.bin"));
    click(m_window->btnBF());
    EXPECT_FALSE(m_window->cmdWypakuj().Enabled()) << "Open Bin alone";
    m_dialogs.confirm(user("tile"));
    click(m_window->btnCF());
    EXPECT_TRUE(m_window->cmdWypakuj().Enabled());
    EXPECT_FALSE(m_window->cmdSpakuj().Enabled()) << "paths without a mode";
    select("Edit");
    // Runs that fail leave both buttons as they were.
    click(m_window->cmdWypakuj());
    click(m_window->cmdSpakuj());
    EXPECT_TRUE(m_window->cmdWypakuj().Enabled());
    EXPECT_TRUE(m_window->cmdSpakuj().Enabled());
}

// Unpack is ready whenever both of its boxes name files, however they were filled.
TEST_F(FrmMainTest, UnpackIsEnabledWheneverBothOfItsBoxesNameFiles) {
    ASSERT_TRUE(
        velmora::test::writeFile(user("game.bin"), gameFileOf(velmora::test::validImage(9))));
    QLineEdit& input = m_window->txt(2);
    QLineEdit& output = m_window->txt(3);
    const std::vector<std::pair<std::function<void()>, bool>> steps = {
        {[&] { m_window->openFile(user("game.bin")); }, false}, // as `velmora FILE` does
        {[&] { QTest::keyClicks(&output, "typed"); }, true},
        {[&] {
             output.selectAll();
             QTest::keyClick(&output, Qt::Key_Delete);
         },
         false},
        {[&] {
             QGuiApplication::clipboard()->setText(user("pasted"));
             output.paste();
         },
         true},
        {[&] { input.setText("   "); }, false},
        {[&] { QTest::keyClicks(&input, "game.bin"); }, true}, // "   game.bin"
        {[&] { input.setText(user("game.bin")); }, true},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i].first();
        EXPECT_EQ(m_window->cmdWypakuj().Enabled(), steps[i].second) << "step " << i;
    }
    click(m_window->cmdWypakuj());
    EXPECT_EQ(m_messages.shown, (std::vector<QString>{"UncompressFile", user("pasted.dds")}));
    EXPECT_TRUE(QFileInfo::exists(user("pasted.dds")));
}

// Windows opened while others are open each step a title bar down and right, so none hides
// another exactly; the cascade starts over where it would leave the screen.
TEST_F(FrmMainTest, EachFurtherWindowOpensOffsetFromTheOthers) {
    // A folder of this test's own for the windows' work folders, which tell each window how
    // many others are open: other programs' windows must not count.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(QDir().mkpath(user("runtime")));
    QFile(user("runtime")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", user("runtime").toUtf8());
    m_window = open();
    auto second = open();
    auto third = open();
    const QPoint step = second->pos() - m_window->pos();
    EXPECT_GT(step.x(), 0);
    EXPECT_EQ(step.y(), step.x());
    EXPECT_EQ(third->pos() - second->pos(), step);
    second.reset();
    third.reset();
    m_window.reset();
    m_window = open();
    qputenv("XDG_RUNTIME_DIR", runtime);

    const QMargins frame(4, 30, 4, 4);
    const QRect area(0, 0, 200, 200);
    const QRect client(0, 0, 100, 100);
    EXPECT_EQ(velmora::cascadeOnArea(client, 1, area, frame), client.translated(30, 30));
    // Three steps of 30 fit below and right of it (96 pixels); the fifth starts over at one.
    EXPECT_EQ(velmora::cascadeOnArea(client, 3, area, frame), client.translated(90, 90));
    EXPECT_EQ(velmora::cascadeOnArea(client, 5, area, frame), client.translated(30, 30));
}

TEST_F(FrmMainTest, DisabledPackButtonDoesNothing) {
    click(m_window->cmdSpakuj());
    click(m_window->cmdWypakuj());
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(FrmMainTest, PackThenUnpackRoundTripsTheImage) {
    const QByteArray image = velmora::test::asQByteArray(velmora::test::validImage(7));
    ASSERT_TRUE(velmora::test::writeFile(user("tile.dds"), image));
    packImage(user("tile.dds"), user("menu"), "Master League");

    ASSERT_EQ(m_messages.shown.size(), 2u) << m_messages.shown.front().toStdString();
    EXPECT_EQ(m_messages.shown[0], "CompressFile");
    // Nothing better than the placeholder to go on, and the message says so.
    // The file written, as written: ".bin" added.
    EXPECT_EQ(m_messages.shown[1].section('\n', 0, 0), user("menu.bin"));
    EXPECT_TRUE(m_messages.shown[1].section('\n', 1).startsWith(
        "Packed with Velmora's placeholder texture header"))
        << m_messages.shown[1].toStdString();
    EXPECT_TRUE(m_messages.shown[1].contains("velmora-cli header YOUR_GAME_FILE"));
    EXPECT_EQ(headerOf(user("menu.bin")), velmora::test::plainTextureHeader());
    const QByteArray game = velmora::test::readFile(user("menu.bin"));
    ASSERT_EQ(game.size(), 2400017);
    EXPECT_EQ(game.mid(12, 4), QByteArray("\xD0\x00\x40\x00", 4));
    std::int32_t stored = 0;
    std::memcpy(&stored, game.constData() + 8, 4);
    EXPECT_EQ(m_window->Text1().text(), QString::number(stored));
    EXPECT_GT(stored, 0);
    EXPECT_EQ(m_window->Label2().text(), user("menu"));
    EXPECT_FALSE(QFileInfo::exists(user("menu"))) << "nothing at the bare output path";
    expectNoWorkFiles();

    m_messages.shown.clear();
    m_dialogs.confirm(user("menu.bin"));
    click(m_window->btnBF());
    m_dialogs.confirm(user("back"));
    click(m_window->btnCF());
    click(m_window->cmdWypakuj());
    ASSERT_EQ(m_messages.shown.size(), 2u) << m_messages.shown.front().toStdString();
    EXPECT_EQ(m_messages.shown[0], "UncompressFile");
    EXPECT_EQ(m_messages.shown[1], user("back.dds")) << "the file written, not the one read";
    EXPECT_EQ(velmora::test::readFile(user("back.dds")), image);
    EXPECT_TRUE(m_messages.asked.empty()) << "a placeholder is not offered for installing";
    expectNoWorkFiles();
}

TEST_F(FrmMainTest, UnpackWithoutAGameFileReportsOneFailure) {
    m_window->txt(2).setText(user("missing.bin"));
    m_dialogs.confirm(user("tile"));
    click(m_window->btnCF());
    click(m_window->cmdWypakuj());
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_NE(m_messages.shown[0], "UncompressFile");
    EXPECT_FALSE(m_messages.shown[0].isEmpty());
    EXPECT_FALSE(QFileInfo::exists(user("tile.dds")));
    expectNoWorkFiles();
}

TEST_F(FrmMainTest, PackOfAnImageTheGameCannotUseIsRefused) {
    ASSERT_TRUE(velmora::test::writeFile(user("small.dds"), "DDS not really"));
    packImage(user("small.dds"), user("menu"), "Online");
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_NE(m_messages.shown[0], "CompressFile");
    EXPECT_FALSE(QFileInfo::exists(user("menu.bin")));
    EXPECT_TRUE(m_window->Text1().text().isEmpty());
    expectNoWorkFiles();
}

// A picture too detailed for the game file: the window fits it on a worker while it keeps
// running its events, asks with the figure in words, shows the fitted image on request while
// the question waits, and packs on Yes only. Cancel on the progress writes nothing.
struct FitCase {
    const char* name;
    bool yes;
    bool show;              // Show pressed before answering
    const char* cancelWhen; // the progress label Cancel is pressed at, or null
};

class FitOfferTest : public FrmMainTest, public testing::WithParamInterface<FitCase> {};

TEST_P(FitOfferTest, FitsOnAWorkerAsksInWordsAndPacksOnlyOnYes) {
    const FitCase& c = GetParam();
    const auto photo = velmora::test::photoLikeImage(3.0);
    ASSERT_TRUE(velmora::test::writeFile(user("photo.dds"), velmora::test::asQByteArray(photo)));
    m_messages.answer = c.yes;
    m_messages.pressShow = c.show;
    m_window->Text1().setText("1234"); // the length of a game file written earlier

    // Ticks of the window's own thread: each notes the progress shown before the question.
    QStringList seen;
    bool cancelPressed = false;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        auto* progress = m_window->findChild<QProgressDialog*>("busyProgress");
        if (progress == nullptr || !m_messages.asked.empty())
            return;
        if (!seen.contains(progress->labelText()))
            seen << progress->labelText();
        if (c.cancelWhen != nullptr && progress->labelText().startsWith(c.cancelWhen) &&
            progress->isVisible()) {
            auto* cancel = progress->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr) << "the progress has a Cancel";
            // Through the window system's window, as a click of the user's arrives.
            QTest::mouseClick(progress->windowHandle(), Qt::LeftButton, {},
                              cancel->mapTo(progress, cancel->rect().center()));
            cancelPressed = true;
        }
    });
    QImage previewed;
    bool writtenBeforeAnswer = true;
    m_messages.afterShow = [&] {
        ASSERT_NE(m_window->previewWindow(), nullptr);
        EXPECT_TRUE(m_window->previewWindow()->isVisible());
        EXPECT_TRUE(m_window->previewWindow()->windowTitle().contains("fitted"));
        previewed = m_window->previewWindow()->picture().image();
        writtenBeforeAnswer = QFileInfo::exists(user("menu.bin"));
    };
    ticks.start();
    packImage(user("photo.dds"), user("menu"), "Online");
    ticks.stop();

    // Both the first attempt and the fit ran while the window's thread kept turning.
    EXPECT_TRUE(seen.contains("Packing...")) << seen.join('|').toStdString();
    EXPECT_TRUE(seen.contains("Fitting the image to the game file..."))
        << seen.join('|').toStdString();
    if (c.cancelWhen != nullptr) {
        ASSERT_TRUE(cancelPressed);
        EXPECT_TRUE(seen.contains("Cancelling...")) << seen.join('|').toStdString();
        EXPECT_TRUE(m_messages.asked.empty());
        EXPECT_TRUE(m_messages.shown.empty()) << m_messages.shown.front().toStdString();
        EXPECT_FALSE(QFileInfo::exists(user("menu.bin")));
        EXPECT_EQ(m_window->Text1().text(), "1234") << "the window as it was";
        EXPECT_EQ(m_window->txt(0).text(), user("photo.dds"));
        expectNoWorkFiles();
        return;
    }

    ASSERT_EQ(m_messages.asked.size(), 1u);
    const QString& question = m_messages.asked.front();
    // The figures: what the image takes, more than the slot it must fit.
    const auto figures =
        QRegularExpression("^The image is too detailed to fit the game file: ([\\d,]+) bytes "
                           "compressed, ([\\d,]+) allowed\\.\n\n")
            .match(question);
    ASSERT_TRUE(figures.hasMatch()) << question.toStdString();
    const auto number = [&](int i) { return figures.captured(i).remove(',').toLongLong(); };
    EXPECT_EQ(number(2), velmora::conversion::kCompressedBlockSize);
    EXPECT_GT(number(1), number(2));
    // The PSNR, and what it means to the eye by the scale the question gives.
    const auto psnr = QRegularExpression("PSNR of (\\d+\\.\\d) dB: ([^.]+)\\.").match(question);
    ASSERT_TRUE(psnr.hasMatch()) << question.toStdString();
    const double db = psnr.captured(1).toDouble();
    EXPECT_EQ(psnr.captured(2), db >= 45   ? "differences too small to see"
                                : db >= 38 ? "differences visible only side by side with the "
                                             "original"
                                           : "differences visible");
    EXPECT_TRUE(question.contains("45 dB and more, too small to see")) << question.toStdString();
    EXPECT_EQ(m_messages.showCaptions, std::vector<QString>{"Show"});

    if (c.show) {
        EXPECT_FALSE(writtenBeforeAnswer) << "nothing is written while the question waits";
        ASSERT_EQ(previewed.size(), QSize(1024, 1024));
    }
    if (c.yes) {
        ASSERT_EQ(m_messages.shown.size(), 2u);
        EXPECT_EQ(m_messages.shown[0], "CompressFile");
        EXPECT_TRUE(m_messages.shown[1].startsWith(user("menu.bin") + "\n"))
            << m_messages.shown[1].toStdString();
        EXPECT_EQ(velmora::test::readFile(user("menu.bin")).size(), 2400017);
        EXPECT_NE(m_window->Text1().text(), "1234");
        if (c.show) {
            // What the preview showed is what was packed, pixel for pixel.
            m_window->txt(2).setText(user("menu.bin"));
            m_window->txt(3).setText(user("back.png"));
            m_window->Unpack();
            const QImage packed = QImage(user("back.png")).convertToFormat(QImage::Format_ARGB32);
            EXPECT_EQ(packed, previewed);
            QImage original(photo.data() + 128, 1024, 1024, QImage::Format_ARGB32);
            EXPECT_NE(packed, original) << "the fit changed the picture";
        }
    } else {
        EXPECT_TRUE(m_messages.shown.empty());
        EXPECT_FALSE(QFileInfo::exists(user("menu.bin")));
    }
    expectNoWorkFiles();
}

INSTANTIATE_TEST_SUITE_P(Answers, FitOfferTest,
                         testing::Values(FitCase{"No", false, false, nullptr},
                                         FitCase{"ShowThenYes", true, true, nullptr},
                                         FitCase{"CancelWhileFitting", true, false, "Fitting"}),
                         [](const testing::TestParamInfo<FitCase>& info) {
                             return info.param.name;
                         });

// A genuine game file unpacked in the window and packed back keeps its texture header: the
// user's installed one wins, else the one of the game file last opened or unpacked here.
struct HeaderCase {
    const char* name;
    bool installedBefore; // a header of the user's own was there already
    bool answer;          // to the offer to install the game file's
};

class HeaderTest : public FrmMainTest, public testing::WithParamInterface<HeaderCase> {};

TEST_P(HeaderTest, UnpackAndPackBackKeepsTheGameFilesHeaderAndOffersItOnce) {
    const HeaderCase& c = GetParam();
    velmora::test::Bytes genuine(48), own(48);
    for (std::size_t i = 0; i < 48; ++i) {
        genuine[i] = static_cast<std::uint8_t>(0xC0 ^ i);
        own[i] = static_cast<std::uint8_t>(0x30 + i);
    }
    const QString installed = user("data/velmora/WE00");
    if (c.installedBefore) {
        ASSERT_TRUE(QDir().mkpath(user("data/velmora")));
        ASSERT_TRUE(velmora::test::writeFile(installed, velmora::test::asQByteArray(own)));
    }
    velmora::test::Bytes game =
        velmora::test::gameFileAround(velmora::test::zlibStream(velmora::test::textureRecord(
            velmora::test::validImage(4), "topModeSelect_Mov03_ML.tex", genuine)));
    game.resize(2400017, 0);
    ASSERT_TRUE(velmora::test::writeFile(user("game.bin"), velmora::test::asQByteArray(game)));
    m_messages.answer = c.answer;

    m_dialogs.confirm(user("game.bin"));
    click(m_window->btnBF());
    m_dialogs.confirm(user("tile"));
    click(m_window->btnCF());
    click(m_window->cmdWypakuj());
    ASSERT_EQ(m_messages.shown.size(), 2u) << m_messages.shown.front().toStdString();
    EXPECT_EQ(m_messages.asked.size(), c.installedBefore ? 0u : 1u);
    // The mode of the game file is chosen for packing back; Pack is ready.
    EXPECT_EQ(m_window->Label1().text(), "topModeSelect_Mov03_ML.tex");
    EXPECT_TRUE(m_window->cmdSpakuj().Enabled());
    const velmora::test::Bytes expected = c.installedBefore ? own : genuine;
    EXPECT_EQ(velmora::test::readFile(installed),
              velmora::test::asQByteArray(c.installedBefore ? own
                                          : c.answer        ? genuine
                                                            : velmora::test::Bytes{}));

    m_messages.shown.clear();
    m_dialogs.confirm(user("tile.dds"));
    click(m_window->btnDF());
    m_dialogs.confirm(user("back"));
    click(m_window->btnAF());
    click(m_window->cmdSpakuj());
    EXPECT_EQ(m_messages.shown, (std::vector<QString>{"CompressFile", user("back.bin")}));
    EXPECT_EQ(headerOf(user("back.bin")), expected);

    // A new window, given the game file as `velmora FILE` does: no second offer, the same
    // header for any picture packed after it.
    m_window = open();
    m_window->openFile(user("game.bin"));
    ASSERT_TRUE(velmora::test::writeFile(
        user("other.dds"), velmora::test::asQByteArray(velmora::test::validImage(8))));
    packImage(user("other.dds"), user("other"), "Online");
    EXPECT_EQ(headerOf(user("other.bin")), expected);
    m_dialogs.confirm(user("tile2"));
    click(m_window->btnCF());
    click(m_window->cmdWypakuj());
    EXPECT_EQ(m_messages.asked.size(), c.installedBefore ? 0u : 1u) << "asked once, ever";
    expectNoWorkFiles();
}

INSTANTIATE_TEST_SUITE_P(Installed, HeaderTest,
                         testing::Values(HeaderCase{"NoneDeclined", false, false},
                                         HeaderCase{"NoneAccepted", false, true},
                                         HeaderCase{"OwnWins", true, true}),
                         [](const testing::TestParamInfo<HeaderCase>& info) {
                             return info.param.name;
                         });

TEST_F(FrmMainTest, HelpReplacesTheMainWindowUntilClosed) {
    m_window->txt(0).setText("kept path");
    select("Online");
    click(m_window->cmdTuto());
    velmora::frmhelp* help = m_window->helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(m_window->isVisible());

    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    help->close();
    QApplication::processEvents();
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(lastWindowClosed.count(), 0) << "closing help must not end the program";
    EXPECT_EQ(m_window->txt(0).text(), "kept path");
    EXPECT_EQ(m_window->Label1().text(), "topModeSelect_Mov06_OL.tex");
    EXPECT_TRUE(m_window->cmdSpakuj().Enabled());

    // Deleted on close, so the next opening builds the window anew.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m_window->helpWindow(), nullptr);
    click(m_window->cmdTuto());
    ASSERT_NE(m_window->helpWindow(), nullptr);
    EXPECT_TRUE(m_window->helpWindow()->Picture1().pixmap().isNull());
    m_window->helpWindow()->close();
}

QByteArray gameFileOf(const velmora::test::Bytes& image) {
    using namespace velmora::test;
    return asQByteArray(gameFileAround(zlibStream(textureRecord(image))));
}

// What the Open Bin box holds when Unpack is pressed is what gets converted, and what the
// message names: browsed or typed, absolute or relative to the folder last used.
struct TypedPathCase {
    const char* name;
    bool browseAnotherFirst;
    bool relative;
};

class TypedPathTest : public FrmMainTest, public ::testing::WithParamInterface<TypedPathCase> {};

TEST_P(TypedPathTest, UnpackConvertsTheFileTheBoxNames) {
    const TypedPathCase& c = GetParam();
    const auto wanted = velmora::test::validImage(21);
    ASSERT_TRUE(velmora::test::writeFile(user("wanted.bin"), gameFileOf(wanted)));
    ASSERT_TRUE(
        velmora::test::writeFile(user("other.bin"), gameFileOf(velmora::test::validImage(22))));
    if (c.browseAnotherFirst) {
        m_dialogs.confirm(user("other.bin"));
        click(m_window->btnBF());
    }
    m_dialogs.confirm(user("out"));
    click(m_window->btnCF());
    ASSERT_EQ(m_window->userFolder(), m_userFolder.path());
    m_window->txt(2).setText(c.relative ? QString("wanted.bin") : user("wanted.bin"));
    click(m_window->cmdWypakuj());
    ASSERT_EQ(m_messages.shown.size(), 2u) << m_messages.shown.front().toStdString();
    EXPECT_EQ(m_messages.shown[1], user("out.dds"));
    EXPECT_EQ(velmora::test::readFile(user("out.dds")), velmora::test::asQByteArray(wanted));
    expectNoWorkFiles();
}

INSTANTIATE_TEST_SUITE_P(Boxes, TypedPathTest,
                         ::testing::Values(TypedPathCase{"TypedOnly", false, false},
                                           TypedPathCase{"TypedOverBrowsed", true, false},
                                           TypedPathCase{"RelativeOverBrowsed", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrmMainTest, DialogsOpenInTheHomeFolderThenInTheLastOneUsed) {
    m_dialogs.cancel();
    click(m_window->btnDF());
    m_dialogs.confirm(user("tile"));
    click(m_window->btnCF());
    m_dialogs.cancel();
    click(m_window->btnAF());
    ASSERT_EQ(m_dialogs.requests.size(), 3u);
    EXPECT_EQ(m_dialogs.requests[0].folder, QDir::homePath());
    EXPECT_EQ(m_dialogs.requests[1].folder, QDir::homePath());
    EXPECT_EQ(m_dialogs.requests[2].folder, m_userFolder.path()) << "the folder last used";
}

TEST_F(FrmMainTest, TwoWindowsNeverMeet) {
    auto second = open();
    ASSERT_NE(second->workFolder(), m_window->workFolder());
    const auto first = velmora::test::validImage(31);
    const auto other = velmora::test::validImage(32);
    ASSERT_TRUE(velmora::test::writeFile(user("a.bin"), gameFileOf(first)));
    ASSERT_TRUE(velmora::test::writeFile(user("b.bin"), gameFileOf(other)));
    m_window->txt(2).setText(user("a.bin"));
    m_window->txt(3).setText(user("a"));
    second->txt(2).setText(user("b.bin"));
    second->txt(3).setText(user("b"));
    m_window->Unpack();
    second->Unpack();
    EXPECT_EQ(velmora::test::readFile(user("a.dds")), velmora::test::asQByteArray(first));
    EXPECT_EQ(velmora::test::readFile(user("b.dds")), velmora::test::asQByteArray(other));
    EXPECT_EQ(m_messages.shown, (std::vector<QString>{"UncompressFile", user("a.dds"),
                                                      "UncompressFile", user("b.dds")}));
    const QString folder = QString::fromStdString(second->workFolder().string());
    second.reset();
    EXPECT_FALSE(QFileInfo::exists(folder)) << "a window's work folder goes with it";
}

TEST_F(FrmMainTest, AFailureNamesTheUsersFileAndEmptiesTheLength) {
    ASSERT_TRUE(velmora::test::writeFile(
        user("tile.dds"), velmora::test::asQByteArray(velmora::test::validImage(7))));
    packImage(user("tile.dds"), user("menu"), "Online");
    ASSERT_FALSE(m_window->Text1().text().isEmpty());
    // A damaged game file fails on a work file; the message names the user's file instead.
    QByteArray damaged = velmora::test::readFile(user("menu.bin"));
    damaged.replace(16, 64, QByteArray(64, '\x5a'));
    ASSERT_TRUE(velmora::test::writeFile(user("damaged.bin"), damaged));
    m_messages.shown.clear();
    m_window->txt(2).setText(user("damaged.bin"));
    m_window->txt(3).setText(user("back"));
    m_window->Unpack();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_FALSE(
        m_messages.shown[0].contains(QString::fromStdString(m_window->workFolder().string())))
        << m_messages.shown[0].toStdString();
    EXPECT_TRUE(m_messages.shown[0].contains(user("damaged.bin")))
        << m_messages.shown[0].toStdString();

    m_window->txt(0).setText(user("missing.dds"));
    m_window->Pack();
    EXPECT_TRUE(m_window->Text1().text().isEmpty()) << "no length of an earlier game file";
    expectNoWorkFiles();
}

// Drags `urls` over `target` and drops them there; false when the window refused the drag.
bool dropOn(QWidget& target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    // File managers send the path as text too, which a path box would otherwise paste.
    mime.setText(urls.isEmpty() ? QString() : urls.front().toString());
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&target, &drop);
    QCoreApplication::processEvents();
    return drop.isAccepted();
}

enum class Content { GameFile, Dds, Png, Unknown };

QByteArray bytesOf(Content content) {
    switch (content) {
    case Content::GameFile:
        return QByteArray("\x00\x01\x01WESYS\x00\x00\x00\x00\xd0\x00\x40\x00rest", 20);
    case Content::Dds:
        return QByteArray("DDS ") + QByteArray(124, '\0');
    case Content::Png:
        return QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(16, '\0');
    case Content::Unknown:
        break;
    }
    return "plain words";
}

struct DropCase {
    const char* where; // a frame's caption, a box "txt(n)", or "window"
    Content content;
    int box; // the box filled, or -1 for none
};

class DropTest : public FrmMainTest, public ::testing::WithParamInterface<DropCase> {
  protected:
    QWidget& target() const {
        const QString where = GetParam().where;
        if (where == "window")
            return *m_window;
        if (where.startsWith("txt("))
            return m_window->txt(where.mid(4, 1).toInt());
        return *m_window->frame(where);
    }
};

TEST_P(DropTest, FillsTheBoxOfItsSideOrOfItsContent) {
    const DropCase& c = GetParam();
    const QString file = user("dropped.file");
    ASSERT_TRUE(velmora::test::writeFile(file, bytesOf(c.content)));
    ASSERT_TRUE(dropOn(target(), {QUrl::fromLocalFile(file)}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m_window->txt(i).text(), i == c.box ? file : QString()) << "txt(" << i << ")";
    }
    if (c.box == 2) {
        // As after Browse: the game file is already in the work folder.
        EXPECT_EQ(velmora::test::readFile(work("Temp")), bytesOf(c.content));
    }
    if (c.box < 0) {
        ASSERT_EQ(m_messages.shown.size(), 1u);
        EXPECT_TRUE(m_messages.shown[0].contains("dropped.file"))
            << m_messages.shown[0].toStdString();
        EXPECT_TRUE(m_messages.shown[0].contains("Unpack side"))
            << m_messages.shown[0].toStdString();
        expectNoWorkFiles();
    } else {
        EXPECT_TRUE(m_messages.shown.empty());
    }
    EXPECT_FALSE(m_window->cmdWypakuj().Enabled()) << "a drop fills an input, not an output";
}

INSTANTIATE_TEST_SUITE_P(
    Places, DropTest,
    ::testing::Values(
        // A side takes whatever it is given; its own workflow says what is wrong with it.
        DropCase{"Unpack", Content::GameFile, 2}, DropCase{"Save DDS", Content::Png, 2},
        DropCase{"txt(2)", Content::GameFile, 2}, DropCase{"txt(3)", Content::Dds, 2},
        DropCase{"Pack", Content::Dds, 0}, DropCase{"Trybe", Content::GameFile, 0},
        DropCase{"txt(1)", Content::Png, 0}, DropCase{"Lenght", Content::Unknown, 0},
        // Elsewhere the content decides.
        DropCase{"window", Content::GameFile, 2}, DropCase{"Help", Content::Dds, 0},
        DropCase{"Credits:", Content::Png, 0}, DropCase{"window", Content::Unknown, -1}));

TEST_F(FrmMainTest, ADroppedImageCopiesTheSaveBinFileAsBrowseDoes) {
    ASSERT_TRUE(velmora::test::writeFile(user("old.bin"), "earlier game file"));
    ASSERT_TRUE(velmora::test::writeFile(user("tile.dds"), bytesOf(Content::Dds)));
    m_window->txt(1).setText(user("old.bin"));
    ASSERT_TRUE(dropOn(*m_window->frame("Open DDS"), {QUrl::fromLocalFile(user("tile.dds"))}));
    EXPECT_EQ(m_window->txt(0).text(), user("tile.dds"));
    EXPECT_EQ(velmora::test::readFile(work("Template")), "earlier game file");
}

TEST_F(FrmMainTest, RefusesDragsThatAreNotOneLocalFile) {
    ASSERT_TRUE(velmora::test::writeFile(user("a.bin"), bytesOf(Content::GameFile)));
    ASSERT_TRUE(velmora::test::writeFile(user("b.bin"), bytesOf(Content::GameFile)));
    const QList<QList<QUrl>> refused = {
        {QUrl::fromLocalFile(user("a.bin")), QUrl::fromLocalFile(user("b.bin"))},
        {QUrl::fromLocalFile(m_userFolder.path())},
        {QUrl::fromLocalFile(user("missing.bin"))},
        {QUrl("https://example.org/tile.bin")},
    };
    for (const auto& urls : refused) {
        EXPECT_FALSE(dropOn(*m_window->frame("Unpack"), urls))
            << urls.front().toString().toStdString();
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(m_window->txt(i).text().isEmpty()) << i;
    }
    EXPECT_TRUE(m_messages.shown.empty());
}

} // namespace

// Double-click on a path box, or "Preview" in its menu, opens the one preview window on the
// file the box names, a relative name taken from the folder last used.
struct PreviewCase {
    int box;
    const char* typed;
    bool fromMenu;
};

class PreviewTest : public FrmMainTest, public ::testing::WithParamInterface<PreviewCase> {
  protected:
    void open(QLineEdit& box) {
        if (!GetParam().fromMenu) {
            QTest::mouseDClick(&box, Qt::LeftButton, {}, box.rect().center());
            return;
        }
        emit box.customContextMenuRequested(box.rect().center());
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> actions = menu->actions();
        // The box's own entries stay, "Preview" after them.
        ASSERT_GT(actions.size(), 5);
        EXPECT_TRUE(std::any_of(actions.begin(), actions.end(), [](const QAction* action) {
            return action->text().remove('&').startsWith("Copy");
        }));
        EXPECT_EQ(actions.back()->text(), "Preview");
        actions.back()->trigger();
        menu->close();
    }

    void settle() {
        velmora::PreviewWindow* preview = m_window->previewWindow();
        QSignalSpy shown(preview, &velmora::PreviewWindow::contentShown);
        while (preview->isReading())
            ASSERT_TRUE(shown.wait(10000));
    }
};

TEST_P(PreviewTest, OpensOnTheFileOfThatBox) {
    const PreviewCase& c = GetParam();
    const QString file = user(QFileInfo(c.typed).fileName());
    ASSERT_TRUE(velmora::test::writeFile(file, gameFileOf(velmora::test::validImage(5))));
    // Sets the folder relative names are taken from, as a dropped file does.
    ASSERT_TRUE(velmora::test::writeFile(
        user("first.dds"), velmora::test::asQByteArray(velmora::test::validImage(6))));
    m_window->openFile(user("first.dds"));
    m_window->txt(c.box).setText(c.typed);
    QStringList texts;
    for (int i = 0; i < 4; ++i)
        texts << m_window->txt(i).text();
    const QStringList workFiles = QDir(work("")).entryList(QDir::Files);

    open(m_window->txt(c.box));
    ASSERT_NE(m_window->previewWindow(), nullptr);
    settle();
    velmora::PreviewWindow& preview = *m_window->previewWindow();
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.followedBox(), &m_window->txt(c.box));
    EXPECT_EQ(preview.shownPath(), file);
    EXPECT_EQ(preview.windowTitle(), "Preview - " + QFileInfo(file).fileName());
    EXPECT_TRUE(preview.problem().isEmpty()) << preview.problem().toStdString();

    // One window for every box: another box turns it.
    const int other = c.box == 0 ? 2 : 0;
    QTest::mouseDClick(&m_window->txt(other), Qt::LeftButton);
    EXPECT_EQ(m_window->previewWindow(), &preview);
    settle();
    EXPECT_EQ(preview.shownPath(), m_window->txt(other).text());

    // Closing it leaves the boxes, the work files and the main window as they were.
    preview.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m_window->previewWindow(), nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_window->txt(i).text(), texts[i]) << i;
    EXPECT_EQ(QDir(work("")).entryList(QDir::Files), workFiles);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Boxes, PreviewTest,
                         ::testing::Values(PreviewCase{2, "tile.bin", false},
                                           PreviewCase{0, "sub/../tile.bin", true},
                                           PreviewCase{1, "saved.bin", false},
                                           PreviewCase{3, "unpacked.bin", true}));
