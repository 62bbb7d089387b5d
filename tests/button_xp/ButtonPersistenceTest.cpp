#include "button_xp/ButtonDesign.h"
#include "button_xp/Button_XP.h"
#include "button_xp/PropertyBag.h"

#include <QFile>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

// A store that remembers which keys were read and written, in order.
class RecordingBag : public PropertyBag {
  public:
    PropertyValue ReadProperty(const QString& key, const PropertyValue& def) const override {
        reads << key;
        return PropertyBag::ReadProperty(key, def);
    }
    void WriteProperty(const QString& key, const PropertyValue& value,
                       const PropertyValue& def) override {
        writes << key;
        PropertyBag::WriteProperty(key, value, def);
    }
    mutable QStringList reads;
    QStringList writes;
};

QStringList keysOf(const PropertyBag& bag) {
    QStringList keys;
    for (const auto& entry : bag.entries())
        keys << entry.first;
    return keys;
}

PicturePtr bitmapPicture(QRgb colour, int himetricW, int himetricH) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(colour);
    return std::make_shared<StdPicture>(StdPicture::Bitmap, image, himetricW, himetricH);
}

TEST(PropertyBag, KeysIgnoreLetterCaseAndKeepTheirOrder) {
    PropertyBag bag;
    bag.set(QStringLiteral("buttonstyle"), std::int32_t(3));
    bag.set(QStringLiteral("Caption"), QStringLiteral("x"));
    bag.set(QStringLiteral("BUTTONSTYLE"), std::int32_t(4));
    EXPECT_EQ(keysOf(bag), (QStringList{"buttonstyle", "Caption"}));
    EXPECT_EQ(toLong(bag.ReadProperty(QStringLiteral("ButtonStyle"), std::int16_t(2))), 4);
    EXPECT_EQ(toLong(bag.ReadProperty(QStringLiteral("PictureSize"), std::int16_t(1))), 1);
}

struct DefaultCase {
    const char* name;
    PropertyValue value;
    PropertyValue defaultValue;
    bool leftOut;
};

class WriteWithDefault : public testing::TestWithParam<DefaultCase> {};

TEST_P(WriteWithDefault, LeavesOutWhatEqualsTheConvertedDefault) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("k"), GetParam().value, GetParam().defaultValue);
    EXPECT_EQ(bag.contains(QStringLiteral("k")), !GetParam().leftOut);
}

const FontData kArial{QStringLiteral("Arial"), 10, false, false, false, false, 400, 0};

INSTANTIATE_TEST_SUITE_P(
    Rules, WriteWithDefault,
    testing::Values(
        DefaultCase{"FlagTrueIsIntegerOne", FlagValue{true}, std::int16_t(1), true},
        DefaultCase{"FlagFalseIsNotIntegerOne", FlagValue{false}, std::int16_t(1), false},
        DefaultCase{"FlagFalseIsIntegerZero", FlagValue{false}, std::int16_t(0), true},
        DefaultCase{"LongEqualsInteger", std::int32_t(2), std::int16_t(2), true},
        DefaultCase{"LongDiffers", std::int32_t(3), std::int16_t(2), false},
        DefaultCase{"LongColour", std::int32_t(0x8000000F), std::int32_t(0x8000000F), true},
        DefaultCase{"TextEqual", QStringLiteral("a"), QStringLiteral("a"), true},
        DefaultCase{"TextCaseMatters", QStringLiteral("A"), QStringLiteral("a"), false},
        DefaultCase{"NoPictureIsNone", PicturePtr(), PicturePtr(), true},
        DefaultCase{"EmptyPictureIsKept", std::make_shared<StdPicture>(), PicturePtr(), false},
        DefaultCase{"SameFont", kArial, kArial, true},
        DefaultCase{"OtherFont", FontData{}, kArial, false}),
    [](const testing::TestParamInfo<DefaultCase>& info) { return std::string(info.param.name); });

TEST(PropertyBag, WritingTheDefaultRemovesAnOlderValue) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("BEVEL"), std::int16_t(3), std::int16_t(1));
    bag.WriteProperty(QStringLiteral("bevel"), std::int16_t(1), std::int16_t(1));
    EXPECT_FALSE(bag.contains(QStringLiteral("BEVEL")));
}

TEST(PropertyBag, Conversions) {
    EXPECT_EQ(toInteger(std::int32_t(-32768)), -32768);
    EXPECT_EQ(toInteger(std::int32_t(32767)), 32767);
    for (const PropertyValue& tooBig :
         {PropertyValue(std::int32_t(32768)), PropertyValue(std::int32_t(-40000)),
          PropertyValue(QStringLiteral("99999"))}) {
        try {
            toInteger(tooBig);
            ADD_FAILURE() << "no overflow";
        } catch (const PropertyError& e) {
            EXPECT_EQ(e.code(), PropertyError::Overflow);
        }
    }
    EXPECT_TRUE(toFlag(std::int16_t(5)));
    EXPECT_TRUE(toFlag(std::int32_t(-1)));
    EXPECT_FALSE(toFlag(std::int16_t(0)));
    EXPECT_EQ(toLong(FlagValue{true}), -1);
    EXPECT_EQ(toLong(QStringLiteral(" 12 ")), 12);
    EXPECT_EQ(toText(std::int32_t(5)), QStringLiteral("5"));
    EXPECT_THROW(toLong(QStringLiteral("abc")), PropertyError);
    EXPECT_THROW(toLong(kArial), PropertyError);
    EXPECT_THROW(toFont(std::int32_t(1)), PropertyError);
    EXPECT_THROW(toPicture(QStringLiteral("x")), PropertyError);
}

struct SavedButton {
    QWidget window;
    Button_XP button{&window, QStringLiteral("cmdTuto")};
    SavedButton() { button.host().resize(75, 23); }
};

TEST(ButtonPersistence, SaveWritesTheKeysInOrder) {
    SavedButton b;
    RecordingBag bag;
    b.button.WriteProperties(bag);
    EXPECT_EQ(bag.writes, (QStringList{"Caption",
                                       "PicturePosition",
                                       "ButtonStyle",
                                       "Picture",
                                       "PictureWidth",
                                       "PictureHeight",
                                       "PictureSize",
                                       "OriginalPicSizeW",
                                       "OriginalPicSizeH",
                                       "PictureHover",
                                       "Enabled",
                                       "Font",
                                       "MouseIcon",
                                       "MousePointer",
                                       "ShowFocusRect",
                                       "URL",
                                       "XPColor_Pressed",
                                       "XPColor_Hover",
                                       "XPDefaultColors",
                                       "BackColor",
                                       "ForeColor",
                                       "SoundOver",
                                       "SoundClick",
                                       "DefCurHand",
                                       "XPShowBorderAlways",
                                       "MaskColor",
                                       "TransparentBG",
                                       "BEVEL",
                                       "BEVELDEPTH"}));
}

TEST(ButtonPersistence, LoadReadsTheEntriesInOrderAndNotifiesOnlyTheMouseIcon) {
    SavedButton b;
    QStringList notified;
    QObject::connect(&b.button.host(), &UserControl::PropertyChanged,
                     [&](const QString& name) { notified << name; });
    RecordingBag bag;
    b.button.ReadProperties(bag);
    EXPECT_EQ(bag.reads, (QStringList{"BackColor",
                                      "ForeColor",
                                      "ShowFocusRect",
                                      "Caption",
                                      "PicturePosition",
                                      "ButtonStyle",
                                      "Picture",
                                      "PictureWidth",
                                      "PictureHeight",
                                      "PictureSize",
                                      "OriginalPicSizeW",
                                      "OriginalPicSizeH",
                                      "Font",
                                      "Font",
                                      "PictureHover",
                                      "Picture",
                                      "MouseIcon",
                                      "Enabled",
                                      "MousePointer",
                                      "URL",
                                      "XPColor_Pressed",
                                      "XPColor_Hover",
                                      "XPDefaultColors",
                                      "SoundOver",
                                      "SoundClick",
                                      "DefCurHand",
                                      "XPShowBorderAlways",
                                      "MaskColor",
                                      "TransparentBG",
                                      "BEVEL",
                                      "BEVELDEPTH"}));
    EXPECT_EQ(notified, QStringList{QStringLiteral("MouseIcon")});
}

TEST(ButtonPersistence, InsideADisabledContainerTheOwnStateIsKeptAndSaved) {
    SavedButton b;
    b.window.setEnabled(false);
    EXPECT_TRUE(b.button.Enabled()) << "the container's state is not the button's";
    PropertyBag bag;
    b.button.WriteProperties(bag);
    EXPECT_FALSE(bag.contains(QStringLiteral("Enabled"))) << "saved as the default, true";
    b.button.setEnabled(false);
    b.window.setEnabled(true);
    EXPECT_FALSE(b.button.Enabled());
}

TEST(ButtonPersistence, NewInstanceSavesOnlyWhatDiffersFromTheDefaults) {
    SavedButton b;
    PropertyBag bag;
    b.button.WriteProperties(bag);
    // A new instance has a natural size of 0 x 0 against the default 32, and empty picture
    // objects where the default is none.
    EXPECT_EQ(keysOf(bag), (QStringList{"OriginalPicSizeW", "OriginalPicSizeH", "PictureHover"}));
    EXPECT_EQ(toLong(*bag.find(QStringLiteral("OriginalPicSizeW"))), 0);

    b.button.setEnabled(false);
    PropertyBag disabled;
    b.button.WriteProperties(disabled);
    ASSERT_TRUE(disabled.contains(QStringLiteral("Enabled")));
    EXPECT_FALSE(toFlag(*disabled.find(QStringLiteral("Enabled"))));
    EXPECT_FALSE(disabled.contains(QStringLiteral("ShowFocusRect")));
    EXPECT_FALSE(disabled.contains(QStringLiteral("XPDefaultColors")));
}

TEST(ButtonPersistence, EmptyStoreLoadsTheDefaults) {
    SavedButton b;
    b.button.setCaption(QStringLiteral("changed"));
    b.button.setButtonStyle(4);
    b.button.setPicture(bitmapPicture(qRgb(1, 2, 3), 100, 100));
    b.button.ReadProperties(PropertyBag());
    const ButtonXpFields& f = b.button.fields();
    EXPECT_EQ(b.button.Caption(), QStringLiteral("cmdTuto"));
    EXPECT_EQ(b.button.ButtonStyle(), 2);
    EXPECT_EQ(b.button.Picture(), nullptr);
    EXPECT_EQ(f.g_PictureNormal, nullptr);
    EXPECT_EQ(f.g_PictureHover, nullptr);
    EXPECT_EQ(b.button.PictureWidth(), 32);
    EXPECT_EQ(f.g_OriginalPicSizeW, 32);
    EXPECT_EQ(f.g_OriginalPicSizeH, 32);
    EXPECT_TRUE(b.button.Enabled());
    EXPECT_EQ(b.button.host().BackColor(), 0x8000000Fu);
    EXPECT_EQ(b.button.host().AccessKeys(), QString());
}

TEST(ButtonPersistence, RoundTripThroughTheDesignFormat) {
    SavedButton a;
    Button_XP& x = a.button;
    x.setCaption(QStringLiteral("&Save"));
    x.setButtonStyle(0);
    x.setPicturePosition(3);
    x.setPicture(bitmapPicture(qRgb(200, 10, 10), 2540, 1270));
    x.setPictureSize(2);
    // Stored as they stand, whatever the natural size says.
    x.setPictureWidth(40);
    x.setPictureHeight(41);
    x.setPictureHover(bitmapPicture(qRgb(10, 200, 10), 100, 100));
    x.setEnabled(false);
    FontData font;
    font.name = QStringLiteral("Arial");
    font.size = 12;
    font.underline = true;
    x.setFont(font);
    x.setMousePointer(99);
    x.setMouseIcon(bitmapPicture(qRgb(0, 0, 0), 500, 500));
    x.setShowFocusRect(false);
    x.setURL(QStringLiteral("mailto:a@b.c"));
    x.setXPColor_Pressed(0x123456);
    x.setXPColor_Hover(0x654321);
    x.setXPDefaultColors(false);
    x.setBackColor(0x00FF00);
    x.setForeColor(0x0000FF);
    x.setSoundOver(QStringLiteral("o.wav"));
    x.setSoundClick(QStringLiteral("c.wav"));
    x.setDefCurHand(true);
    x.setXPShowBorderAlways(true);
    x.setMaskColor(0xFF00FF);
    x.setTransparentBG(true);
    x.setBEVEL(3);
    x.setBEVELDEPTH(-5);

    WindowDesign design{QStringLiteral("frmTest"), {captureDesign(x, QStringLiteral("cmdSave"))}};
    const DesignResult read = parseDesign(serializeDesign(design));
    ASSERT_TRUE(read.has_value()) << read.error().toStdString();
    const ControlDesign* stored = read->control(QStringLiteral("cmdSave"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->pixelSize(), QSize(75, 23));

    QWidget window;
    Button_XP y(&window, QStringLiteral("other"));
    ASSERT_TRUE(applyDesign(y, *stored).has_value());
    EXPECT_EQ(y.host().size(), QSize(75, 23));
    EXPECT_EQ(y.Caption(), QStringLiteral("&Save"));
    EXPECT_EQ(y.host().AccessKeys(), QStringLiteral("s"));
    EXPECT_EQ(y.ButtonStyle(), 0);
    EXPECT_EQ(y.PicturePosition(), 3);
    ASSERT_NE(y.Picture(), nullptr);
    EXPECT_EQ(*y.Picture(), *x.Picture());
    EXPECT_EQ(y.fields().g_PictureNormal, y.Picture());
    EXPECT_EQ(y.PictureSize(), 2);
    EXPECT_EQ(y.PictureWidth(), 40);
    EXPECT_EQ(y.PictureHeight(), 41);
    EXPECT_EQ(y.fields().g_OriginalPicSizeW, 96);
    EXPECT_EQ(y.fields().g_OriginalPicSizeH, 48);
    ASSERT_NE(y.PictureHover(), nullptr);
    EXPECT_EQ(*y.PictureHover(), *x.PictureHover());
    EXPECT_FALSE(y.Enabled());
    EXPECT_EQ(y.Font()->data(), x.Font()->data());
    EXPECT_EQ(y.host().Font(), x.host().Font());
    EXPECT_EQ(y.MousePointer(), 99);
    ASSERT_NE(y.MouseIcon(), nullptr);
    EXPECT_FALSE(y.ShowFocusRect());
    EXPECT_EQ(y.URL(), x.URL());
    EXPECT_EQ(y.XPColor_Pressed(), 0x123456u);
    EXPECT_EQ(y.XPColor_Hover(), 0x654321u);
    EXPECT_FALSE(y.XPDefaultColors());
    EXPECT_EQ(y.BackColor(), 0x00FF00u);
    EXPECT_EQ(y.host().BackColor(), 0x00FF00u);
    EXPECT_EQ(y.ForeColor(), 0x0000FFu);
    EXPECT_EQ(y.host().ForeColor(), 0x0000FFu);
    EXPECT_EQ(y.SoundOver(), QStringLiteral("o.wav"));
    EXPECT_EQ(y.SoundClick(), QStringLiteral("c.wav"));
    EXPECT_TRUE(y.DefCurHand());
    EXPECT_TRUE(y.XPShowBorderAlways());
    EXPECT_EQ(y.MaskColor(), 0xFF00FFu);
    EXPECT_TRUE(y.TransparentBG());
    EXPECT_EQ(y.BEVEL(), 3);
    EXPECT_EQ(y.BEVELDEPTH(), -5);

    // Saving the loaded button again gives the same store.
    const ControlDesign again = captureDesign(y, QStringLiteral("cmdSave"));
    EXPECT_EQ(serializeDesign({QStringLiteral("frmTest"), {again}}),
              serializeDesign({QStringLiteral("frmTest"), {*stored}}));
}

TEST(ButtonPersistence, ConversionErrorStopsLoadingAtThatKey) {
    SavedButton b;
    PropertyBag bag;
    bag.set(QStringLiteral("backcolor"), std::int32_t(0xFF));
    bag.set(QStringLiteral("mousepointer"), std::int32_t(40000));
    bag.set(QStringLiteral("url"), QStringLiteral("http://x/"));
    try {
        b.button.ReadProperties(bag);
        FAIL() << "no overflow";
    } catch (const PropertyError& e) {
        EXPECT_EQ(e.code(), PropertyError::Overflow);
    }
    EXPECT_EQ(b.button.BackColor(), 0xFFu) << "entries before the failing one stay loaded";
    EXPECT_EQ(b.button.URL(), QString()) << "entries after it are not reached";

    const ControlDesign design{QStringLiteral("cmdBad"), bag};
    const auto applied = applyDesign(b.button, design);
    ASSERT_FALSE(applied.has_value());
    const QString error = applied.error();
    EXPECT_TRUE(error.contains(QLatin1String("cmdBad"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String("Overflow"))) << error.toStdString();
}

// What the shipped designs hold for each button.
struct ShippedButton {
    const char* design;
    const char* name;
    const char* caption;
    Long style;
    bool enabled;
    QSize size;
};

class ShippedDesigns : public testing::TestWithParam<ShippedButton> {};

TEST_P(ShippedDesigns, LoadIntoButtons) {
    const ShippedButton& s = GetParam();
    const DesignResult result = loadDesign(QString::fromLatin1(s.design));
    ASSERT_TRUE(result.has_value()) << result.error().toStdString();
    const ControlDesign* control = result->control(QLatin1String(s.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->pixelSize(), s.size);

    QWidget window;
    Button_XP button(&window, QLatin1String(s.name));
    ASSERT_TRUE(applyDesign(button, *control).has_value());
    EXPECT_EQ(button.Caption(), QLatin1String(s.caption));
    EXPECT_EQ(button.ButtonStyle(), s.style);
    EXPECT_EQ(button.Enabled(), s.enabled);
    EXPECT_EQ(button.MousePointer(), 99);
    EXPECT_EQ(button.MouseIcon(), nullptr);
    EXPECT_EQ(button.fields().g_OriginalPicSizeW, 0);
    EXPECT_EQ(button.fields().g_OriginalPicSizeH, 0);
    const FontData& font = button.Font()->data();
    EXPECT_EQ(font.name, QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(font.size, 8.25);
    EXPECT_EQ(font.weight, 400);
    EXPECT_EQ(font.charset, 238);
    EXPECT_FALSE(font.bold || font.italic || font.underline || font.strikethrough);
    EXPECT_EQ(button.host().Font(), font);
    // Everything the design leaves out has its default.
    EXPECT_EQ(button.PicturePosition(), 1);
    EXPECT_EQ(button.Picture(), nullptr);
    EXPECT_EQ(button.BackColor(), 0x8000000Fu);
    EXPECT_EQ(button.ForeColor(), 0x80000012u);
    EXPECT_TRUE(button.ShowFocusRect());
    EXPECT_EQ(button.URL(), QString());
    EXPECT_EQ(button.SoundClick(), QStringLiteral(".\\resources\\click.wav"));
    EXPECT_EQ(button.BEVEL(), 1);
    EXPECT_EQ(button.BEVELDEPTH(), 8);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ShippedDesigns,
    testing::Values(
        ShippedButton{":/designs/frmMain.json", "cmdTuto", ">>>Help<<<", 3, true, {89, 18}},
        ShippedButton{":/designs/frmMain.json", "btnCF", "Browse", 3, true, {41, 17}},
        ShippedButton{":/designs/frmMain.json", "btnBF", "Browse", 3, true, {41, 17}},
        ShippedButton{":/designs/frmMain.json", "cmdWypakuj", "Unpack", 3, false, {89, 25}},
        ShippedButton{":/designs/frmMain.json", "btnAF", "Browse", 3, true, {41, 17}},
        ShippedButton{":/designs/frmMain.json", "btnDF", "Browse", 3, true, {41, 17}},
        ShippedButton{":/designs/frmMain.json", "cmdSpakuj", "Pack", 3, false, {105, 25}},
        ShippedButton{":/designs/frmhelp.json",
                      "cmdDownload",
                      "Download DDS Plugins For PhotoShop",
                      3,
                      true,
                      {137, 25}}),
    [](const testing::TestParamInfo<ShippedButton>& info) { return std::string(info.param.name); });

TEST(ShippedDesigns, MainWindowHoldsItsSevenButtonsInOrder) {
    const DesignResult result = loadDesign(QStringLiteral(":/designs/frmMain.json"));
    ASSERT_TRUE(result.has_value());
    QStringList names;
    for (const ControlDesign& c : result->controls)
        names << c.name;
    EXPECT_EQ(names, (QStringList{"cmdTuto", "btnCF", "btnBF", "cmdWypakuj", "btnAF", "btnDF",
                                  "cmdSpakuj"}));
    EXPECT_EQ(result->window, QStringLiteral("frmMain"));
}

class MalformedDesign : public testing::TestWithParam<const char*> {};

TEST_P(MalformedDesign, GivesAMessageAndNoDesign) {
    const DesignResult result = parseDesign(QByteArray(GetParam()));
    EXPECT_FALSE(result.has_value());
    EXPECT_FALSE(result.error().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MalformedDesign,
    testing::Values(
        "", "{", "[]", "{\"controls\": 5}", "{\"controls\": [7]}",
        "{\"controls\": [{\"properties\": []}]}", "{\"controls\": [{\"name\": \"a\"}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": \"Colour\", "
        "\"value\": 1}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": "
        "\"Integer\", \"value\": 40000}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": \"Long\", "
        "\"value\": 1.5}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": \"Long\", "
        "\"value\": \"1\"}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": \"flag\", "
        "\"value\": 1}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": "
        "\"picture\", \"value\": {\"kind\": 1, \"png\": \"!!\"}}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": "
        "\"picture\", \"value\": {\"kind\": 1, \"png\": \"AAAA\"}}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": \"font\", "
        "\"value\": {\"size\": -3}}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": [{\"key\": \"x\", \"type\": \"text\", "
        "\"value\": 1}, {\"key\": \"X\", \"type\": \"text\", \"value\": \"b\"}]}]}",
        "{\"controls\": [{\"name\": \"a\", \"properties\": []}, {\"name\": \"A\", \"properties\": "
        "[]}]}"));

TEST(MalformedDesign, MissingFileIsAnError) {
    const DesignResult result = loadDesign(QStringLiteral(":/designs/none.json"));
    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(result.error().contains(QLatin1String("none.json")));
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(ControlDesign, PixelSizeOnlyForRealExtents) {
    const struct {
        PropertyValue x, y;
        QSize size;
    } cases[] = {
        {std::int32_t(2355), std::int32_t(476), QSize(89, 18)},
        {std::int32_t(3625), std::int32_t(661), QSize(137, 25)},
        {std::int16_t(0), std::int16_t(0), QSize(0, 0)},
        {std::int32_t(2147483647), std::int32_t(476), QSize()},
        {std::int32_t(-10), std::int32_t(476), QSize()},
        {QStringLiteral("wide"), std::int32_t(476), QSize()},
    };
    for (const auto& c : cases) {
        ControlDesign design;
        design.values.set(QStringLiteral("_extentx"), c.x);
        design.values.set(QStringLiteral("_extenty"), c.y);
        EXPECT_EQ(design.pixelSize(), c.size);
    }
    EXPECT_EQ(ControlDesign().pixelSize(), QSize());
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// Every cut and every single-byte change of a real design either reads or gives a reason, and
// whatever reads can be applied to a button without escaping the caller.
TEST(MalformedDesign, DamagedCopiesOfTheMainDesign) {
    QFile file(QStringLiteral(":/designs/frmMain.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    QWidget window;
    int readable = 0;
    const auto check = [&](const QByteArray& bytes) {
        const DesignResult result = parseDesign(bytes);
        if (!result.has_value()) {
            EXPECT_FALSE(result.error().isEmpty());
            return;
        }
        ++readable;
        for (const ControlDesign& control : result->controls) {
            Button_XP button(&window, control.name);
            (void)applyDesign(button, control);
        }
    };
    for (qsizetype n = 0; n < original.size(); n += 7)
        check(original.left(n));
    for (qsizetype i = 0; i < original.size(); i += 11) {
        QByteArray changed = original;
        changed[i] = char(changed[i] ^ 0x5A);
        check(changed);
    }
    EXPECT_GT(readable, 0);
}

} // namespace
} // namespace velmora
