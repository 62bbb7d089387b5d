#include "DdsImages.h"
#include "GameFiles.h"
#include "TempFolder.h"

#include "formats/qt/QtPictureReader.h"
#include "windows/PreviewWindow.h"
#include "workflows/ShownPicture.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMargins>
#include <QRect>
#include <QSignalSpy>

#include <cstdlib>

namespace {

using velmora::PreviewPicture;
using velmora::PreviewView;
using velmora::PreviewWindow;
using velmora::test::Bytes;

// Red, green, blue and yellow quadrants, each with its own alpha; the yellow one is wholly
// transparent.
struct Quadrant {
    int x, y; // centre, in picture pixels
    QRgb colour;
    int alpha;
};
constexpr Quadrant kQuadrants[] = {{256, 256, qRgb(200, 30, 30), 255},
                                   {768, 256, qRgb(30, 200, 30), 128},
                                   {256, 768, qRgb(30, 30, 200), 64},
                                   {768, 768, qRgb(250, 250, 0), 0}};

Bytes quadrantImage() {
    return velmora::test::paintDdsImage([](int x, int y, std::uint8_t* rgba) {
        const Quadrant& q = kQuadrants[(y >= 512 ? 2 : 0) + (x >= 512 ? 1 : 0)];
        rgba[0] = static_cast<std::uint8_t>(qRed(q.colour));
        rgba[1] = static_cast<std::uint8_t>(qGreen(q.colour));
        rgba[2] = static_cast<std::uint8_t>(qBlue(q.colour));
        rgba[3] = static_cast<std::uint8_t>(q.alpha);
    });
}

Bytes gameFileOf(const Bytes& image) {
    using namespace velmora::test;
    return gameFileAround(zlibStream(textureRecord(image)));
}

bool near(QRgb a, QRgb b, int tolerance = 2) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QRgb over(QRgb colour, int alpha, QRgb background) {
    const auto mix = [alpha](int top, int bottom) {
        return (top * alpha + bottom * (255 - alpha) + 127) / 255;
    };
    return qRgb(mix(qRed(colour), qRed(background)), mix(qGreen(colour), qGreen(background)),
                mix(qBlue(colour), qBlue(background)));
}

class PreviewWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_window.resize(500, 620);
        m_window.show();
    }

    QString path(const char* name) const {
        return QString::fromStdString((m_folder / name).string());
    }
    QString write(const char* name, const Bytes& bytes) const {
        velmora::test::writeFile(m_folder / name, bytes);
        return path(name);
    }

    void follow(const QString& text) {
        m_box.setText(text);
        m_window.follow(&m_box, [](const QString& typed) { return typed; });
    }

    // Until what was asked for is on screen.
    void settle() {
        QSignalSpy shown(&m_window, &PreviewWindow::contentShown);
        while (m_window.isReading())
            ASSERT_TRUE(shown.wait(10000));
    }

    // The pixel shown for picture pixel (x, y), read back from the widget's rendering.
    QRgb shownPixel(const QImage& shot, int x, int y) const {
        const QRect shown = m_window.picture().pictureRect();
        return shot.pixel(shown.left() + x * shown.width() / 1024,
                          shown.top() + y * shown.height() / 1024);
    }

    velmora::test::TempFolder m_folder;
    QLineEdit m_box;
    PreviewWindow m_window;
};

struct ViewCase {
    PreviewView view;
    bool actualSize;
};

class PreviewViewTest : public PreviewWindowTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(PreviewViewTest, ShowsEachQuadrantAsTheViewDrawsIt) {
    follow(write("tile.bin", gameFileOf(quadrantImage())));
    settle();
    ASSERT_TRUE(m_window.problem().isEmpty()) << m_window.problem().toStdString();
    m_window.setView(GetParam().view);
    m_window.setActualSize(GetParam().actualSize);
    PreviewPicture& picture = m_window.picture();
    if (GetParam().actualSize)
        EXPECT_EQ(picture.pictureRect().size(), QSize(1024, 1024));
    else
        EXPECT_TRUE(picture.rect().contains(picture.pictureRect()));
    const QImage shot = picture.grab().toImage();
    const QRgb light = PreviewPicture::kCheckerLight;
    const QRgb dark = PreviewPicture::kCheckerDark;
    for (const Quadrant& q : kQuadrants) {
        const QRgb pixel = shownPixel(shot, q.x, q.y);
        SCOPED_TRACE(QString::number(pixel, 16).toStdString() + " at alpha " +
                     std::to_string(q.alpha));
        switch (GetParam().view) {
        case PreviewView::ColourWithAlpha:
            EXPECT_TRUE(near(pixel, over(q.colour, q.alpha, light)) ||
                        near(pixel, over(q.colour, q.alpha, dark)));
            break;
        case PreviewView::ColourOnly:
            EXPECT_TRUE(near(pixel, q.colour));
            break;
        case PreviewView::AlphaOnly:
            EXPECT_TRUE(near(pixel, qRgb(q.alpha, q.alpha, q.alpha)));
            break;
        }
    }
    // Behind the transparent quadrant both squares of the checkerboard show, and only they.
    bool sawLight = false;
    bool sawDark = false;
    const QRect shown = picture.pictureRect();
    const QPoint from = shown.topLeft() + QPoint(shown.width() * 3 / 4, shown.height() * 3 / 4);
    for (int step = 0; step < 4 * PreviewPicture::kCheckerSquare; ++step) {
        const QRgb pixel = shot.pixel(from + QPoint(step, step / 2));
        sawLight = sawLight || near(pixel, light, 0);
        sawDark = sawDark || near(pixel, dark, 0);
    }
    const bool checkerboard = GetParam().view == PreviewView::ColourWithAlpha;
    EXPECT_EQ(sawLight && sawDark, checkerboard);
}

INSTANTIATE_TEST_SUITE_P(Views, PreviewViewTest,
                         ::testing::Values(ViewCase{PreviewView::ColourWithAlpha, false},
                                           ViewCase{PreviewView::ColourOnly, false},
                                           ViewCase{PreviewView::AlphaOnly, false},
                                           ViewCase{PreviewView::ColourWithAlpha, true},
                                           ViewCase{PreviewView::AlphaOnly, true}));

TEST_F(PreviewWindowTest, ShowsTheFactsInfoGivesForAGameFile) {
    follow(write("online.bin", velmora::test::gameFileAround(
                                   velmora::test::zlibStream(velmora::test::textureRecord(
                                       quadrantImage(), "topModeSelect_Mov06_OL.tex")))));
    settle();
    EXPECT_EQ(m_window.windowTitle(), "Preview - online.bin");
    for (const char* fact : {"Game file", "Size: 1024x1024", "Layout: B8G8R8A8",
                             "Texture name: topModeSelect_Mov06_OL.tex", "Mode: 6 \"Online\""})
        EXPECT_TRUE(m_window.facts().contains(fact)) << fact << "\n"
                                                     << m_window.facts().toStdString();
}

// A DDS of another size is shown like any picture; only Pack refuses it, and the facts say so.
TEST_F(PreviewWindowTest, ShowsADdsOfAnotherSizeAndWhyPackRefusesIt) {
    follow(write("small.dds", velmora::test::blankDdsImage(512)));
    settle();
    EXPECT_TRUE(m_window.problem().isEmpty()) << m_window.problem().toStdString();
    EXPECT_TRUE(m_window.picture().isVisible());
    for (const char* fact : {"Size: 512x512", "it is 512x512; the game's tile is 1024x1024"})
        EXPECT_TRUE(m_window.facts().contains(fact)) << fact << "\n"
                                                     << m_window.facts().toStdString();
}

struct UnshownCase {
    const char* name;
    Bytes bytes; // nothing written when empty
};

class UnshownFileTest : public PreviewWindowTest,
                        public ::testing::WithParamInterface<UnshownCase> {};

TEST_P(UnshownFileTest, SaysWhyAndStaysUsable) {
    const QString file =
        GetParam().bytes.empty() ? path(GetParam().name) : write(GetParam().name, GetParam().bytes);
    follow(file);
    settle();
    const velmora::images::QtPictureReader pictures;
    const auto refused = velmora::conversion::readShownPicture(file.toStdString(), &pictures);
    ASSERT_FALSE(refused);
    const QString problem = m_window.problem();
    EXPECT_TRUE(problem.contains(QString::fromStdString(refused.error().reason)))
        << problem.toStdString();
    EXPECT_TRUE(problem.contains(GetParam().name)) << problem.toStdString();
    EXPECT_FALSE(m_window.picture().isVisible());
    EXPECT_EQ(m_window.facts().startsWith("Game file"), GetParam().name == std::string("cut.bin"))
        << m_window.facts().toStdString();

    // The next file shows as if nothing had happened.
    m_box.setText(write("good.dds", quadrantImage()));
    settle();
    EXPECT_TRUE(m_window.problem().isEmpty());
    EXPECT_TRUE(m_window.picture().isVisible());
    EXPECT_EQ(m_window.windowTitle(), "Preview - good.dds");
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnshownFileTest,
    ::testing::Values(UnshownCase{"missing.bin", {}},
                      UnshownCase{"notes.txt", {'n', 'o', 't', 'e', 's', '\n'}},
                      UnshownCase{"cut.bin",
                                  [] {
                                      Bytes file = gameFileOf(velmora::test::validImage());
                                      file.resize(3000);
                                      return file;
                                  }()},
                      UnshownCase{"cut.dds", [] {
                                      Bytes file = velmora::test::blankDdsImage(512);
                                      file.resize(5000);
                                      return file;
                                  }()}));

TEST_F(PreviewWindowTest, FollowsTheBoxAndShowsOnlyTheLatestFile) {
    const QString first = write("first.dds", quadrantImage());
    const QString second = write("second.bin", gameFileOf(velmora::test::validImage(3)));
    follow(first);
    // Typing: one read once the typing pauses, of the text as it ends.
    QSignalSpy shown(&m_window, &PreviewWindow::contentShown);
    for (const QString& text : {first.left(5), second.left(9), second})
        m_box.setText(text);
    settle();
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(m_window.shownPath(), second);

    // A read overtaken by a newer one is dropped, whichever ends first.
    QLineEdit other;
    other.setText(first);
    shown.clear();
    m_window.follow(&m_box, [](const QString& typed) { return typed; });
    m_window.follow(&other, [](const QString& typed) { return typed; });
    settle();
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(m_window.shownPath(), first);
    EXPECT_EQ(m_window.followedBox(), &other);

    // The box it no longer follows is not read; the file it shows is, when it changes on disk.
    m_box.setText(path("elsewhere.bin"));
    velmora::test::writeFile(m_folder / "first.dds", Bytes{'D', 'D', 'S', ' ', 0});
    ASSERT_TRUE(shown.wait(10000));
    settle();
    EXPECT_EQ(m_window.shownPath(), first);
    EXPECT_FALSE(m_window.problem().isEmpty());
}

// The preview opens beside the main window, sized for a square picture, wherever the screen has
// room on some side, and over it only where no side has.
struct PlacementCase {
    const char* name;
    QRect screen;
    QRect window; // the main window's frame
    bool beside;
};

class PreviewPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PreviewPlacementTest, BesideWhereTheScreenHasRoomSquareIsh) {
    const PlacementCase& c = GetParam();
    const QMargins frame(4, 30, 4, 4);
    const QRect client = velmora::previewBeside(c.window, c.screen, frame);
    const QRect outer = client.marginsAdded(frame);
    EXPECT_TRUE(c.screen.contains(outer)) << "whole on the screen";
    EXPECT_EQ(!outer.intersects(c.window), c.beside);
    // Buttons and facts take a strip; the rest is a square, never a narrow portrait.
    EXPECT_GE(client.width(), 320);
    EXPECT_LE(client.height() - client.width(), 120);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, PreviewPlacementTest,
    ::testing::Values(
        // The main window centred at scale 1: 406 pixels to its right.
        PlacementCase{"CentredScale1", {0, 0, 1600, 1000}, {406, 310, 788, 380}, true},
        PlacementCase{"AtTheRightEdge", {0, 0, 1600, 1000}, {800, 100, 788, 380}, true},
        PlacementCase{"WideShortScreen", {0, 0, 1920, 600}, {566, 110, 788, 380}, true},
        // Scale 2 on the same screen: 800 x 500, no side with room.
        PlacementCase{"CentredScale2", {0, 0, 800, 500}, {6, 60, 788, 380}, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
