#include "button_xp/Button_XP.h"
#include "button_xp/PropertyBag.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace velmora {
namespace {

// A button on a window, with a log of its change notifications ("N:Name") and repaints ("P").
struct LoggedButton {
    QWidget window;
    Button_XP button{&window, QStringLiteral("cmdTuto")};
    QStringList log;

    LoggedButton() {
        window.resize(200, 100);
        button.host().resize(75, 23);
        QObject::connect(&button.host(), &UserControl::PropertyChanged,
                         [this](const QString& name) { log << QStringLiteral("N:") + name; });
        QObject::connect(&button, &Button_XP::Repainted, [this] { log << QStringLiteral("P"); });
    }
};

PicturePtr bitmapPicture(int himetricWidth, int himetricHeight) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    return std::make_shared<StdPicture>(StdPicture::Bitmap, image, himetricWidth, himetricHeight);
}

TEST(ButtonModel, NewInstanceHasItsDefaults) {
    LoggedButton b;
    const Button_XP& x = b.button;
    const ButtonXpFields& f = x.fields();
    EXPECT_EQ(x.Caption(), QStringLiteral("cmdTuto"));
    EXPECT_TRUE(x.Enabled());
    EXPECT_EQ(x.MousePointer(), 0);
    EXPECT_EQ(x.MouseIcon(), nullptr);
    EXPECT_TRUE(x.ShowFocusRect());
    EXPECT_EQ(x.URL(), QString());
    EXPECT_EQ(x.ButtonStyle(), 2);
    EXPECT_EQ(x.PicturePosition(), 1);
    EXPECT_EQ(x.Picture(), nullptr);
    EXPECT_EQ(x.PictureWidth(), 32);
    EXPECT_EQ(x.PictureHeight(), 32);
    EXPECT_EQ(x.PictureSize(), 1);
    // An empty picture object, which is not the same as none.
    ASSERT_NE(x.PictureHover(), nullptr);
    EXPECT_FALSE(x.PictureHover()->hasImage());
    ASSERT_NE(f.g_PictureNormal, nullptr);
    EXPECT_FALSE(f.g_PictureNormal->hasImage());
    EXPECT_EQ(f.g_OriginalPicSizeW, 0);
    EXPECT_EQ(f.g_OriginalPicSizeH, 0);
    EXPECT_EQ(x.XPColor_Pressed(), 0x80000014u);
    EXPECT_EQ(x.XPColor_Hover(), 0x80000016u);
    EXPECT_TRUE(x.XPDefaultColors());
    EXPECT_EQ(x.BackColor(), 0x8000000Fu);
    EXPECT_EQ(x.ForeColor(), 0x80000012u);
    EXPECT_EQ(x.SoundOver(), QStringLiteral(".\\resources\\over.wav"));
    EXPECT_EQ(x.SoundClick(), QStringLiteral(".\\resources\\click.wav"));
    EXPECT_EQ(x.version(), QStringLiteral("030102-155"));
    EXPECT_FALSE(x.DefCurHand());
    EXPECT_FALSE(x.XPShowBorderAlways());
    EXPECT_EQ(x.MaskColor(), 0u);
    EXPECT_FALSE(x.TransparentBG());
    EXPECT_EQ(x.BEVEL(), 1);
    EXPECT_EQ(x.BEVELDEPTH(), 8);
    EXPECT_EQ(f.g_HasFocus + f.g_IsDown + f.g_IsOver + f.g_KeyIsDown, 0);
    EXPECT_FALSE(x.overTimer().isActive());
    EXPECT_EQ(x.overTimer().interval(), 10);
    ASSERT_NE(x.Font(), nullptr);
    EXPECT_EQ(x.Font()->data(), x.host().ambientFont());
    EXPECT_EQ(x.host().ScaleMode(), ScaleUnit::Pixels);
}

// One property assignment and what it must announce and repaint, in order.
struct AssignmentCase {
    const char* name;
    std::function<void(Button_XP&)> assign;
    QStringList expected;
};

class PropertyAssignment : public testing::TestWithParam<AssignmentCase> {};

TEST_P(PropertyAssignment, StoresThenNotifiesThenFollowsUp) {
    LoggedButton b;
    GetParam().assign(b.button);
    EXPECT_EQ(b.log, GetParam().expected) << b.log.join(QLatin1Char(' ')).toStdString();
}

const QStringList kNotifyRepaint(const char* name) {
    return {QStringLiteral("N:") + QLatin1String(name), QStringLiteral("P")};
}
const QStringList kNotifyOnly(const char* name) {
    return {QStringLiteral("N:") + QLatin1String(name)};
}

INSTANTIATE_TEST_SUITE_P(
    EveryProperty, PropertyAssignment,
    testing::Values(
        AssignmentCase{"Enabled", [](Button_XP& b) { b.setEnabled(false); },
                       kNotifyRepaint("Enabled")},
        AssignmentCase{"MousePointer", [](Button_XP& b) { b.setMousePointer(99); },
                       kNotifyOnly("MousePointer")},
        AssignmentCase{"MouseIcon", [](Button_XP& b) { b.setMouseIcon(bitmapPicture(100, 100)); },
                       kNotifyOnly("MouseIcon")},
        AssignmentCase{"ShowFocusRect", [](Button_XP& b) { b.setShowFocusRect(false); },
                       kNotifyRepaint("ShowFocusRect")},
        AssignmentCase{"URL", [](Button_XP& b) { b.setURL(QStringLiteral("x")); },
                       kNotifyOnly("URL")},
        AssignmentCase{"Caption", [](Button_XP& b) { b.setCaption(QStringLiteral("&Open")); },
                       kNotifyRepaint("Caption")},
        AssignmentCase{"PicturePosition", [](Button_XP& b) { b.setPicturePosition(0); },
                       kNotifyRepaint("PicturePosition")},
        AssignmentCase{"Picture", [](Button_XP& b) { b.setPicture(bitmapPicture(100, 100)); },
                       kNotifyRepaint("Picture")},
        AssignmentCase{"PictureWidth", [](Button_XP& b) { b.setPictureWidth(20); },
                       kNotifyRepaint("PictureWidth")},
        AssignmentCase{"PictureHeight", [](Button_XP& b) { b.setPictureHeight(20); },
                       kNotifyRepaint("PictureHeight")},
        AssignmentCase{"PictureSize", [](Button_XP& b) { b.setPictureSize(7); },
                       kNotifyRepaint("PictureSize")},
        AssignmentCase{"PictureHover", [](Button_XP& b) { b.setPictureHover(nullptr); },
                       kNotifyOnly("PictureHover")},
        AssignmentCase{"XPColor_Pressed", [](Button_XP& b) { b.setXPColor_Pressed(0xFF); },
                       kNotifyOnly("XPColor_Pressed")},
        AssignmentCase{"XPColor_Hover", [](Button_XP& b) { b.setXPColor_Hover(0xFF); },
                       kNotifyOnly("XPColor_Hover")},
        AssignmentCase{"XPDefaultColors", [](Button_XP& b) { b.setXPDefaultColors(false); },
                       kNotifyOnly("XPDefaultColors")},
        AssignmentCase{"BackColor", [](Button_XP& b) { b.setBackColor(0xFF); },
                       kNotifyRepaint("BackColor")},
        AssignmentCase{"ForeColor", [](Button_XP& b) { b.setForeColor(0xFF); },
                       kNotifyRepaint("ForeColor")},
        AssignmentCase{"SoundOver", [](Button_XP& b) { b.setSoundOver(5); },
                       kNotifyOnly("SoundOver")},
        AssignmentCase{"SoundClick", [](Button_XP& b) { b.setSoundClick(QString()); },
                       kNotifyOnly("SoundClick")},
        AssignmentCase{"version", [](Button_XP& b) { b.setVersion(QStringLiteral("x")); },
                       QStringList()},
        AssignmentCase{"DefCurHand", [](Button_XP& b) { b.setDefCurHand(true); },
                       kNotifyOnly("DefCurHand")},
        AssignmentCase{"XPShowBorderAlways", [](Button_XP& b) { b.setXPShowBorderAlways(true); },
                       kNotifyOnly("XPShowBorderAlways")},
        AssignmentCase{"MaskColor", [](Button_XP& b) { b.setMaskColor(0xFF00FF); },
                       kNotifyRepaint("MaskColor")},
        AssignmentCase{"TransparentBG", [](Button_XP& b) { b.setTransparentBG(true); },
                       kNotifyRepaint("TransparentBG")},
        AssignmentCase{"BEVEL", [](Button_XP& b) { b.setBEVEL(3); }, kNotifyRepaint("BEVEL")},
        AssignmentCase{"BEVELDEPTH", [](Button_XP& b) { b.setBEVELDEPTH(4); },
                       kNotifyRepaint("BEVELDEPTH")},
        // Each of the six copied attributes repaints through the font's own notification.
        AssignmentCase{"Font",
                       [](Button_XP& b) {
                           FontData bold;
                           bold.bold = true;
                           b.setFont(bold);
                       },
                       {"P", "P", "P", "P", "P", "P", "N:Font"}}),
    [](const testing::TestParamInfo<AssignmentCase>& info) {
        return std::string(info.param.name);
    });

TEST(ButtonModel, StyleThreeSwitchesTransparencyOffThroughItsOwnAssignment) {
    LoggedButton b;
    b.button.setTransparentBG(true);
    b.log.clear();
    b.button.setButtonStyle(3);
    ASSERT_GE(b.log.size(), 3);
    EXPECT_EQ(b.log.mid(0, 3), (QStringList{"N:ButtonStyle", "N:TransparentBG", "P"}));
    EXPECT_FALSE(b.button.TransparentBG());
    EXPECT_FALSE(b.log.mid(3).contains(QStringLiteral("N:TransparentBG")));

    b.log.clear();
    b.button.setTransparentBG(true);
    b.log.clear();
    b.button.setButtonStyle(1);
    EXPECT_EQ(b.log.value(0), QStringLiteral("N:ButtonStyle"));
    EXPECT_FALSE(b.log.contains(QStringLiteral("N:TransparentBG")));
    EXPECT_TRUE(b.button.TransparentBG());
}

TEST(ButtonModel, HostStateIsWrittenOnTheRightSideOfTheNotification) {
    LoggedButton b;
    QStringList seen;
    QObject::connect(&b.button.host(), &UserControl::PropertyChanged, [&](const QString& name) {
        const UserControl& host = b.button.host();
        if (name == QLatin1String("Enabled"))
            seen << QStringLiteral("enabled=%1").arg(host.isEnabled());
        else if (name == QLatin1String("MousePointer"))
            seen << QStringLiteral("pointer=%1").arg(host.MousePointer());
        else if (name == QLatin1String("BackColor"))
            seen << QStringLiteral("back=%1").arg(host.BackColor(), 0, 16);
        else if (name == QLatin1String("ForeColor"))
            seen << QStringLiteral("fore=%1").arg(host.ForeColor(), 0, 16);
    });
    b.button.setEnabled(false);
    b.button.setMousePointer(99);
    b.button.setBackColor(0xFF);
    b.button.setForeColor(0xFF00);
    // Enabled and the pointer reach the surface before the notification; the colours after.
    EXPECT_EQ(seen, (QStringList{"enabled=0", "pointer=99", "back=8000000f", "fore=80000012"}));
    EXPECT_EQ(b.button.host().BackColor(), 0xFFu);
    EXPECT_EQ(b.button.host().ForeColor(), 0xFF00u);
}

struct PictureCase {
    const char* name;
    Long pictureSize;
    int himetricW, himetricH; // < 0: none
    Long naturalW, naturalH, drawnW, drawnH;
};

class PictureAssignment : public testing::TestWithParam<PictureCase> {};

TEST_P(PictureAssignment, SetsNaturalAndDrawnSize) {
    const PictureCase& c = GetParam();
    LoggedButton b;
    b.button.setPictureSize(c.pictureSize);
    b.button.setPicture(c.himetricW < 0 ? nullptr : bitmapPicture(c.himetricW, c.himetricH));
    const ButtonXpFields& f = b.button.fields();
    EXPECT_EQ(f.g_OriginalPicSizeW, c.naturalW);
    EXPECT_EQ(f.g_OriginalPicSizeH, c.naturalH);
    EXPECT_EQ(b.button.PictureWidth(), c.drawnW);
    EXPECT_EQ(b.button.PictureHeight(), c.drawnH);
    EXPECT_EQ(f.g_PictureNormal, f.g_Picture);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PictureAssignment,
    testing::Values(PictureCase{"WideAt32", 1, 2540, 1270, 96, 48, 32, 32},
                    PictureCase{"WideAtNatural", 2, 2540, 1270, 96, 48, 96, 48},
                    PictureCase{"SquareAtNatural", 2, 2540, 2540, 96, 96, 96, 96},
                    PictureCase{"SmallAt16", 0, 2540, 2540, 96, 96, 16, 16},
                    // 1000 HIMETRIC is 37.795 pixels
                    PictureCase{"RoundsToNearest", 2, 1000, 1000, 38, 38, 38, 38},
                    PictureCase{"NoneAtNatural", 2, -1, -1, 32, 32, 32, 32},
                    PictureCase{"NoneAt16", 0, -1, -1, 32, 32, 16, 16}),
    [](const testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

TEST(ButtonModel, PictureSizeOutsideItsValuesKeepsTheDrawnSize) {
    LoggedButton b;
    b.button.setPictureWidth(20);
    b.button.setPictureHeight(24);
    b.button.setPictureSize(7);
    EXPECT_EQ(b.button.PictureSize(), 7);
    EXPECT_EQ(b.button.PictureWidth(), 20);
    EXPECT_EQ(b.button.PictureHeight(), 24);
    // Natural size of a new instance is 0 x 0 until a picture is given.
    b.button.setPictureSize(2);
    EXPECT_EQ(b.button.PictureWidth(), 32);
}

TEST(ButtonModel, FontAssignmentCopiesSixAttributesOnly) {
    LoggedButton b;
    const FontPtr own = b.button.Font();
    FontData given;
    given.name = QStringLiteral("Arial");
    given.size = 12;
    given.bold = true;
    given.italic = true;
    given.weight = 900;
    given.charset = 238;
    const FontData before = own->data();
    b.button.setFont(given);
    EXPECT_EQ(b.button.Font(), own) << "the font object itself is kept";
    EXPECT_EQ(own->Name(), QStringLiteral("Arial"));
    EXPECT_EQ(own->Size(), 12);
    EXPECT_TRUE(own->Bold());
    EXPECT_TRUE(own->Italic());
    EXPECT_EQ(own->Weight(), before.weight);
    EXPECT_EQ(own->Charset(), before.charset);
    EXPECT_EQ(b.button.host().Font(), own->data());
}

TEST(ButtonModel, ChangingTheReturnedFontChangesTheButton) {
    LoggedButton b;
    b.button.Font()->setUnderline(true);
    EXPECT_EQ(b.log, QStringList{QStringLiteral("P")});
    EXPECT_TRUE(b.button.host().Font().underline);
    EXPECT_TRUE(b.button.host().font().underline());
}

TEST(ButtonModel, SoundOverKeepsAnyValueAsText) {
    LoggedButton b;
    b.button.setSoundOver(5);
    EXPECT_EQ(b.button.SoundOver(), QStringLiteral("5"));
    b.button.setSoundOver(QStringLiteral("a.wav"));
    EXPECT_EQ(b.button.SoundOver(), QStringLiteral("a.wav"));
}

TEST(ButtonModel, VersionIgnoresAssignment) {
    LoggedButton b;
    b.button.setVersion(QStringLiteral("x"));
    EXPECT_EQ(b.button.version(), QStringLiteral("030102-155"));
    EXPECT_TRUE(b.log.isEmpty());
}

class MousePointerRange : public testing::TestWithParam<std::pair<Long, bool>> {};

TEST_P(MousePointerRange, OverflowLeavesEverythingAsItWas) {
    const auto [value, accepted] = GetParam();
    LoggedButton b;
    b.button.setMousePointer(3);
    b.log.clear();
    if (accepted) {
        b.button.setMousePointer(value);
        EXPECT_EQ(b.button.MousePointer(), Integer(value));
        EXPECT_EQ(b.log, kNotifyOnly("MousePointer"));
        return;
    }
    try {
        b.button.setMousePointer(value);
        FAIL() << "no overflow error for " << value;
    } catch (const PropertyError& e) {
        EXPECT_EQ(e.code(), PropertyError::Overflow);
    }
    EXPECT_EQ(b.button.MousePointer(), 3);
    EXPECT_TRUE(b.log.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, MousePointerRange,
    testing::Values(std::pair<Long, bool>{40000, false}, std::pair<Long, bool>{32768, false},
                    std::pair<Long, bool>{-32769, false}, std::pair<Long, bool>{32767, true},
                    std::pair<Long, bool>{-32768, true}, std::pair<Long, bool>{99, true}));

TEST(ButtonModel, TranslateColorResolvesOnlySystemCodes) {
    const std::pair<OleColor, OleColor> cases[] = {
        {0x8000000F, 0xD8E9EC}, // button face RGB(236, 233, 216)
        {0x80000012, 0x000000}, // button text
        {0x8000000D, 0xC56A31}, // selection RGB(49, 106, 197)
        {0x80000015, 0x646F71}, // dark shadow RGB(113, 111, 100)
        {0x00123456, 0x00123456},
        {0x00FFFFFF, 0x00FFFFFF},
        // From 0x1000000 up every value is a system colour code, top bit or not.
        {0x01000010, 0x99A8AC},
    };
    for (const auto& [colour, rgb] : cases)
        EXPECT_EQ(Button_XP::TranslateColor(colour), rgb) << std::hex << colour;
}

TEST(ButtonModel, CaptionUpdatesTheAccessKey) {
    LoggedButton b;
    b.button.setCaption(QStringLiteral("&Open"));
    EXPECT_EQ(b.button.host().AccessKeys(), QStringLiteral("o"));
    b.button.setCaption(QStringLiteral("Open"));
    EXPECT_EQ(b.button.host().AccessKeys(), QString());
}

TEST(ButtonModel, OutlivesOrFollowsItsWindow) {
    // The window going first takes the host with it, and the button with the window.
    auto window = std::make_unique<QWidget>();
    QPointer<Button_XP> button = new Button_XP(window.get(), QStringLiteral("a"));
    QPointer<UserControl> host = &button->host();
    window.reset();
    EXPECT_TRUE(button.isNull());
    EXPECT_TRUE(host.isNull());

    // The button going first takes its host along and leaves the window alone.
    QWidget other;
    auto* second = new Button_XP(&other, QStringLiteral("b"));
    QPointer<UserControl> secondHost = &second->host();
    delete second;
    EXPECT_TRUE(secondHost.isNull());
}

} // namespace
} // namespace velmora
