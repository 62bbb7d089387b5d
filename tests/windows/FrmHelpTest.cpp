#include "FakeServices.h"
#include "QtFileHelpers.h"
#include "TestPaths.h"

#include "button_xp/Button_XP.h"
#include "windows/ScreenPlacement.h"
#include "windows/frmhelp.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using velmora::frmhelp;

class FrmHelpTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    std::unique_ptr<frmhelp> open(const QString& applicationFolder) {
        velmora::AppContext context;
        context.programFolder = std::filesystem::path(applicationFolder.toStdString());
        context.resourcesFolder = QString::fromLatin1(velmora::test::kBinDir) + "/resources";
        context.dialogs = &m_dialogs;
        context.messages = &m_messages;
        context.shell = &m_shell;
        context.clipboard = &m_clipboard;
        auto window = std::make_unique<frmhelp>(context);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        return window;
    }

    QString image(const QString& name) const { return m_folder.path() + "/Image/" + name; }

    static QStringList listed(const frmhelp& window) {
        QStringList names;
        for (int i = 0; i < window.File1().count(); ++i) {
            names << window.File1().item(i)->text();
        }
        return names;
    }

    static void choose(frmhelp& window, const QString& name) {
        const auto items = window.File1().findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        const QRect place = window.File1().visualItemRect(items.front());
        QTest::mouseClick(window.File1().viewport(), Qt::LeftButton, {}, place.center());
    }

    QTemporaryDir m_folder;
    velmora::test::FakeFileDialogService m_dialogs;
    velmora::test::FakeMessageBoxService m_messages;
    velmora::test::FakeShellService m_shell;
    velmora::test::FakeClipboardService m_clipboard;
};

TEST_F(FrmHelpTest, MapTextIsTheThirteenEntriesExactly) {
    const QStringList lines = {"1431   Exhibition",
                               "1432   Champions League",
                               "1433   Become A Legend",
                               "1434   Master League",
                               "1435   Community",
                               "1436   League - Cup",
                               "1437   Online  ",
                               "1438   Training",
                               "1439   Edit",
                               "1440   System Settings",
                               "1441   Gallery  ",
                               "1442   Extra Content",
                               "1443   Copa Santander Libertadores "};
    auto window = open(m_folder.path());
    EXPECT_EQ(window->Label1().text(), lines.join("\r\n"));
    EXPECT_FALSE(window->Label1().text().endsWith('\n'));
    EXPECT_TRUE(window->Label1().font().bold());
    EXPECT_EQ(window->windowTitle(), "Help ");
    EXPECT_EQ(window->size(), QSize(976, 625));
    EXPECT_FALSE(window->Dir1().isEnabled());
    EXPECT_EQ(window->cmdDownload().Caption(), "Download DDS Plugins For PhotoShop");
    // The XP face of the main window's command buttons: framed at rest, its focus ring on
    // the edge, clear of the two-line caption.
    EXPECT_EQ(window->cmdDownload().ButtonStyle(), velmora::StyleXP);
}

TEST_F(FrmHelpTest, ListsOnlyPicturesAndOpensOnTheFirst) {
    ASSERT_TRUE(QDir(m_folder.path()).mkdir("Image"));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(image("b.bmp")));
    // A picture under a name that says otherwise is a picture; a text under a picture's name
    // is not.
    ASSERT_TRUE(picture.save(image("D.renamed"), "PNG"));
    ASSERT_TRUE(velmora::test::writeFile(image("a notes.txt"), "not a picture"));
    ASSERT_TRUE(velmora::test::writeFile(image("C.png"), "not a picture either"));
    ASSERT_TRUE(velmora::test::writeFile(image("C.unknown"), ""));
    auto window = open(m_folder.path());
    EXPECT_EQ(listed(*window), QStringList({"b.bmp", "D.renamed"}));
    EXPECT_EQ(window->File1().currentRow(), 0);
    EXPECT_EQ(window->Picture1().pixmap().size(), QSize(40, 30)) << "the first shown at once";
    EXPECT_EQ(window->File1Path(), QDir::cleanPath(m_folder.path() + "/Image"));
}

TEST_F(FrmHelpTest, MissingImageFolderGivesAnEmptyList) {
    auto window = open(m_folder.path() + "/nowhere");
    EXPECT_EQ(window->File1().count(), 0);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(FrmHelpTest, ShowsPicturesAtNaturalSizeAndSurvivesOtherFiles) {
    ASSERT_TRUE(QDir(m_folder.path()).mkdir("Image"));
    // Larger than the picture box, with a distinct colour near its far corner.
    QImage big(900, 700, QImage::Format_RGB32);
    big.fill(qRgb(0, 0, 200));
    big.setPixel(630, 600, qRgb(250, 10, 10));
    ASSERT_TRUE(big.save(image("big.png")));
    QImage small(20, 20, QImage::Format_RGB32);
    small.fill(qRgb(0, 180, 0));
    ASSERT_TRUE(small.save(image("small.jpg")));
    ASSERT_TRUE(velmora::test::writeFile(image("readme.txt"), "text"));
    auto window = open(m_folder.path());
    EXPECT_FALSE(listed(*window).contains("readme.txt"));

    choose(*window, "big.png");
    EXPECT_EQ(window->Picture1().pixmap().size(), QSize(900, 700)) << "not scaled";
    QImage shot = window->Picture1().grab().toImage();
    const int inset = window->Picture1().frameWidth();
    EXPECT_EQ(shot.pixel(630 + inset, 600 + inset), qRgb(250, 10, 10));

    choose(*window, "small.jpg");
    EXPECT_EQ(window->Picture1().pixmap().size(), QSize(20, 20));
    choose(*window, "small.jpg");
    EXPECT_EQ(window->Picture1().pixmap().size(), QSize(20, 20));
}

TEST_F(FrmHelpTest, EveryShippedReferencePictureLoads) {
    auto window = open(QString::fromLatin1(velmora::test::kBinDir));
    const QStringList names = listed(*window);
    QStringList suffixes;
    for (const QString& name : names) {
        const QString suffix = QFileInfo(name).suffix().toLower();
        suffixes << suffix;
        choose(*window, name);
        const QSize size = window->Picture1().pixmap().size();
        EXPECT_FALSE(size.isEmpty()) << name.toStdString();
        // Shown whole at natural size: nothing of a reference picture is cut off.
        const QSize box = window->Picture1().contentsRect().size();
        EXPECT_LE(size.width(), box.width()) << name.toStdString();
        EXPECT_LE(size.height(), box.height()) << name.toStdString();
    }
    EXPECT_FALSE(suffixes.contains("txt")) << "the folder's readme is no picture";
    for (const char* needed : {"bmp", "gif", "jpg", "ico"}) {
        EXPECT_TRUE(suffixes.contains(needed)) << needed;
    }
}

TEST_F(FrmHelpTest, DownloadButtonOpensThePageEachTime) {
    auto window = open(m_folder.path());
    auto& host = window->cmdDownload().host();
    QTest::mouseClick(&host, Qt::LeftButton, {}, host.rect().center());
    QTest::mouseClick(&host, Qt::LeftButton, {}, host.rect().center());
    ASSERT_EQ(m_shell.opened.size(), 2u);
    EXPECT_EQ(m_shell.opened[0], frmhelp::downloadAddress());
    EXPECT_TRUE(m_shell.opened[0].startsWith("https://"));
    m_shell.finish(true);
    m_shell.finish(true);
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_TRUE(m_clipboard.text.isEmpty());
}

// The opener started but ended in failure (xdg-open without a browser): only then, and not
// while it runs, is the address shown and put on the clipboard.
TEST_F(FrmHelpTest, WhenTheOpenerFailsTheAddressIsShownAndOnTheClipboard) {
    auto window = open(m_folder.path());
    auto& host = window->cmdDownload().host();
    QTest::mouseClick(&host, Qt::LeftButton, {}, host.rect().center());
    EXPECT_TRUE(m_messages.shown.empty());
    m_shell.finish(false);
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(m_messages.shown[0].endsWith("\n" + frmhelp::downloadAddress()));
    EXPECT_EQ(m_clipboard.text, frmhelp::downloadAddress());
}

TEST_F(FrmHelpTest, ClosingAnnouncesTheUnload) {
    auto window = open(m_folder.path());
    int unloads = 0;
    QObject::connect(window.get(), &frmhelp::unloaded, [&unloads] { ++unloads; });
    window->close();
    EXPECT_EQ(unloads, 1);
}

struct PlacementCase {
    const char* what;
    QSize wanted;
    QSize smallest;
    QRect area;
    QMargins frame;
    QRect client;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, KeepsTheWindowWhollyOnTheAreaAndCentred) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(velmora::placeOnArea(c.wanted, c.smallest, c.area, c.frame), c.client) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Screens, PlacementTest,
                         ::testing::Values(PlacementCase{"room to spare",
                                                         {976, 625},
                                                         {496, 480},
                                                         {0, 0, 1600, 1000},
                                                         {},
                                                         {312, 187, 976, 625}},
                                           PlacementCase{"title bar counted",
                                                         {976, 625},
                                                         {496, 480},
                                                         {0, 0, 1024, 600},
                                                         {4, 30, 4, 4},
                                                         {24, 30, 976, 566}},
                                           PlacementCase{"panel at the top left",
                                                         {976, 625},
                                                         {496, 480},
                                                         {100, 50, 800, 500},
                                                         {},
                                                         {100, 50, 800, 500}},
                                           PlacementCase{"fixed size fits",
                                                         {780, 346},
                                                         {780, 346},
                                                         {0, 0, 1024, 600},
                                                         {4, 30, 4, 4},
                                                         {122, 140, 780, 346}},
                                           PlacementCase{"smaller than the smallest",
                                                         {976, 625},
                                                         {496, 480},
                                                         {10, 20, 400, 300},
                                                         {2, 20, 2, 2},
                                                         {12, 40, 496, 480}}));

TEST_F(FrmHelpTest, SmallScreenShrinksTheWindowAndScrollsThePictureBox) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    if (area.height() >= 625 && area.width() >= 976) {
        GTEST_SKIP() << "the screen has room for the whole window";
    }
    ASSERT_TRUE(QDir(m_folder.path()).mkdir("Image"));
    QImage picture(900, 700, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 200));
    ASSERT_TRUE(picture.save(image("big.png")));
    auto window = open(m_folder.path());
    EXPECT_TRUE(area.contains(window->frameGeometry())) << "wholly on the screen";
    EXPECT_LT(window->height(), 625);
    // Centred to within the title bar and borders estimated before the window is drawn.
    EXPECT_LE(std::abs(window->frameGeometry().center().x() - area.center().x()), 4);
    // The box keeps its size and cuts the picture off; the view around it scrolls.
    EXPECT_EQ(window->Picture1().size(), QSize(640, 609));
    choose(*window, "big.png");
    EXPECT_EQ(window->Picture1().pixmap().size(), QSize(900, 700));
    QScrollBar* down = window->pictureView().verticalScrollBar();
    ASSERT_GT(down->maximum(), 0);
    down->setValue(down->maximum());
    EXPECT_EQ(window->Picture1().geometry().bottom(),
              window->pictureView().viewport()->height() - 1);
    // The right column is whole inside the window.
    const std::vector<const QWidget*> column = {&window->Dir1(), &window->File1(),
                                                window->Label1().parentWidget(),
                                                &window->cmdDownload().host()};
    for (const QWidget* control : column) {
        EXPECT_TRUE(window->rect().contains(control->geometry()))
            << control->metaObject()->className();
        EXPECT_GT(control->height(), 20);
    }
}

} // namespace
