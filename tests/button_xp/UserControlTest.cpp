#include "platform/gdi/UserControl.h"

#include <QCursor>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(UserControl, ScaleConversions) {
    const struct {
        double value;
        ScaleUnit from, to;
        double x, y;
    } cases[] = {
        {1, ScaleUnit::Pixels, ScaleUnit::Twips, 15, 15},
        {150, ScaleUnit::Twips, ScaleUnit::Pixels, 10, 10},
        {2540, ScaleUnit::Himetric, ScaleUnit::Pixels, 96, 96},
        {96, ScaleUnit::Pixels, ScaleUnit::Inches, 1, 1},
        {1, ScaleUnit::Characters, ScaleUnit::Twips, 120, 240},
        {72, ScaleUnit::Points, ScaleUnit::Pixels, 96, 96},
        {7, ScaleUnit::User, ScaleUnit::Pixels, 7, 7},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(UserControl::ScaleX(c.value, c.from, c.to), c.x, 1e-9);
        EXPECT_NEAR(UserControl::ScaleY(c.value, c.from, c.to), c.y, 1e-9);
    }
}

TEST(UserControl, PersistentImageFollowsTheSizeAndKeepsWhatWasDrawn) {
    UserControl host;
    host.setBackColor(0x8000000F); // button face RGB(236, 233, 216)
    host.resize(20, 10);
    QImage& image = host.persistentImage();
    EXPECT_EQ(image.size(), QSize(20, 10));
    EXPECT_EQ(image.pixel(19, 9), qRgb(236, 233, 216));
    image.setPixel(3, 4, qRgb(1, 2, 3));
    host.resize(30, 12);
    EXPECT_EQ(host.persistentImage().size(), QSize(30, 12));
    EXPECT_EQ(host.persistentImage().pixel(3, 4), qRgb(1, 2, 3));
    EXPECT_EQ(host.persistentImage().pixel(29, 11), qRgb(236, 233, 216));
    // A new back colour clears the whole image to it, as Cls does.
    host.setBackColor(0x0000FF);
    EXPECT_EQ(host.persistentImage().pixel(3, 4), qRgb(255, 0, 0));
    EXPECT_DOUBLE_EQ(host.ScaleWidth(), 30 * 15.0) << "twips until the control asks for pixels";
    host.setScaleMode(ScaleUnit::Pixels);
    EXPECT_DOUBLE_EQ(host.ScaleWidth(), 30);
    host.setWidthTwips(150);
    EXPECT_EQ(host.width(), 10);
}

TEST(UserControl, PointerCodes) {
    QWidget window; // a top-level widget keeps its cursor attribute; a child drops it
    UserControl host(&window);
    const std::pair<short, Qt::CursorShape> shapes[] = {
        {PointerArrow, Qt::ArrowCursor},      {PointerCrosshair, Qt::CrossCursor},
        {PointerIbeam, Qt::IBeamCursor},      {PointerSizeNS, Qt::SizeVerCursor},
        {PointerSizeWE, Qt::SizeHorCursor},   {PointerHourglass, Qt::WaitCursor},
        {PointerNoDrop, Qt::ForbiddenCursor}, {PointerSizeAll, Qt::SizeAllCursor},
    };
    for (const auto& [code, shape] : shapes) {
        host.setMousePointer(code);
        EXPECT_EQ(host.cursor().shape(), shape) << code;
    }
    host.setMousePointer(PointerCustom);
    EXPECT_FALSE(host.testAttribute(Qt::WA_SetCursor)) << "no picture: the normal pointer";
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::black);
    host.setMouseIcon(std::make_shared<StdPicture>(StdPicture::Icon, icon));
    EXPECT_EQ(host.cursor().shape(), Qt::BitmapCursor);
    host.setMousePointer(PointerDefault);
    EXPECT_FALSE(host.testAttribute(Qt::WA_SetCursor));
}

TEST(UserControl, AmbientDefaultsAndRegion) {
    UserControl host;
    EXPECT_TRUE(host.ambientUserMode());
    EXPECT_FALSE(host.extenderDefault());
    EXPECT_EQ(host.Tag(), QStringLiteral("030102-155"));
    host.resize(10, 10);
    host.setWindowRegion(QRegion(0, 0, 5, 5));
    EXPECT_EQ(host.mask(), QRegion(0, 0, 5, 5));
    host.setWindowRegion(QRegion());
    EXPECT_TRUE(host.mask().isEmpty());
    host.move(4, 6);
    EXPECT_DOUBLE_EQ(host.extenderLeft(), 60) << "parent in twips";
    host.setParentScaleMode(ScaleUnit::Pixels);
    EXPECT_DOUBLE_EQ(host.extenderTop(), 6);
}

} // namespace
} // namespace velmora
