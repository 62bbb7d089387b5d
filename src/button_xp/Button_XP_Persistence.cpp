#include "button_xp/Button_XP.h"

#include "button_xp/PropertyBag.h"

namespace velmora {

namespace {

// Stored colours are Longs; the system-colour codes read back as negative numbers.
std::int32_t asLong(OleColor colour) {
    return static_cast<std::int32_t>(colour);
}

PropertyValue integer(int value) {
    return std::int16_t(value);
}

PropertyValue flag(bool value) {
    return FlagValue{value};
}

const PropertyValue kNoPicture = PicturePtr();

} // namespace

void Button_XP::WriteProperties(PropertyBag& bag) const {
    const ButtonXpFields& f = m_fields;
    const UserControl& host = *m_host;
    bag.WriteProperty(QStringLiteral("Caption"), f.g_Caption, host.ambientDisplayName());
    bag.WriteProperty(QStringLiteral("PicturePosition"), f.g_PicturePosition, integer(1));
    bag.WriteProperty(QStringLiteral("ButtonStyle"), f.g_ButtonStyle, integer(2));
    bag.WriteProperty(QStringLiteral("Picture"), f.g_Picture, kNoPicture);
    bag.WriteProperty(QStringLiteral("PictureWidth"), f.g_PictureWidth, integer(32));
    bag.WriteProperty(QStringLiteral("PictureHeight"), f.g_PictureHeight, integer(32));
    bag.WriteProperty(QStringLiteral("PictureSize"), f.g_PictureSize, integer(1));
    bag.WriteProperty(QStringLiteral("OriginalPicSizeW"), f.g_OriginalPicSizeW, integer(32));
    bag.WriteProperty(QStringLiteral("OriginalPicSizeH"), f.g_OriginalPicSizeH, integer(32));
    bag.WriteProperty(QStringLiteral("PictureHover"), f.g_PictureHover, kNoPicture);
    bag.WriteProperty(QStringLiteral("Enabled"), flag(Enabled()), flag(true));
    bag.WriteProperty(QStringLiteral("Font"), host.Font(), host.ambientFont());
    bag.WriteProperty(QStringLiteral("MouseIcon"), host.MouseIcon(), kNoPicture);
    bag.WriteProperty(QStringLiteral("MousePointer"), std::int16_t(host.MousePointer()),
                      integer(0));
    bag.WriteProperty(QStringLiteral("ShowFocusRect"), flag(f.g_ShowFocusRect), integer(1));
    bag.WriteProperty(QStringLiteral("URL"), f.g_URL, QString());
    bag.WriteProperty(QStringLiteral("XPColor_Pressed"), asLong(f.g_XPColorPressed),
                      asLong(0x80000014));
    bag.WriteProperty(QStringLiteral("XPColor_Hover"), asLong(f.g_XPColorHover),
                      asLong(0x80000016));
    bag.WriteProperty(QStringLiteral("XPDefaultColors"), flag(f.g_XPDefaultColors), integer(1));
    bag.WriteProperty(QStringLiteral("BackColor"), asLong(f.g_BackColor), asLong(0x8000000F));
    bag.WriteProperty(QStringLiteral("ForeColor"), asLong(f.g_ForeColor), asLong(0x80000012));
    bag.WriteProperty(QStringLiteral("SoundOver"), f.g_SoundOver,
                      QStringLiteral(".\\resources\\over.wav"));
    bag.WriteProperty(QStringLiteral("SoundClick"), f.g_SoundClick,
                      QStringLiteral(".\\resources\\click.wav"));
    bag.WriteProperty(QStringLiteral("DefCurHand"), flag(f.g_DefCurHand), integer(0));
    bag.WriteProperty(QStringLiteral("XPShowBorderAlways"), flag(f.g_XPShowBorderAlways),
                      integer(0));
    bag.WriteProperty(QStringLiteral("MaskColor"), asLong(f.g_MaskColor), integer(0));
    bag.WriteProperty(QStringLiteral("TransparentBG"), flag(f.g_TransparentBG), integer(0));
    bag.WriteProperty(QStringLiteral("BEVEL"), f.g_Bevel, integer(1));
    bag.WriteProperty(QStringLiteral("BEVELDEPTH"), f.g_BevelDepth, integer(8));
}

void Button_XP::ReadProperties(const PropertyBag& bag) {
    ButtonXpFields& f = m_fields;
    UserControl& host = *m_host;
    const auto read = [&bag](const char* key, const PropertyValue& defaultValue) {
        return bag.ReadProperty(QString::fromLatin1(key), defaultValue);
    };

    f.g_BackColor = OleColor(toLong(read("BackColor", asLong(0x8000000F))));
    host.setBackColor(f.g_BackColor);
    f.g_ForeColor = OleColor(toLong(read("ForeColor", asLong(0x80000012))));
    host.setForeColor(f.g_ForeColor);
    f.g_ShowFocusRect = toFlag(read("ShowFocusRect", integer(1)));
    f.g_Caption = toText(read("Caption", host.ambientDisplayName()));
    f.g_PicturePosition = toLong(read("PicturePosition", integer(1)));
    f.g_ButtonStyle = toLong(read("ButtonStyle", integer(2)));
    f.g_Picture = toPicture(read("Picture", kNoPicture));
    f.g_PictureWidth = toLong(read("PictureWidth", integer(32)));
    f.g_PictureHeight = toLong(read("PictureHeight", integer(32)));
    f.g_PictureSize = toLong(read("PictureSize", integer(1)));
    f.g_OriginalPicSizeW = toLong(read("OriginalPicSizeW", integer(32)));
    f.g_OriginalPicSizeH = toLong(read("OriginalPicSizeH", integer(32)));
    host.setFont(toFont(read("Font", host.ambientFont())));
    adoptFont(std::make_shared<StdFont>(toFont(read("Font", host.ambientFont()))));
    f.g_PictureHover = toPicture(read("PictureHover", kNoPicture));
    f.g_PictureNormal = toPicture(read("Picture", kNoPicture));
    setMouseIcon(toPicture(read("MouseIcon", kNoPicture)));
    host.setEnabled(toFlag(read("Enabled", flag(true))));
    host.setMousePointer(toInteger(read("MousePointer", integer(0))));
    f.g_URL = toText(read("URL", QString()));
    f.g_XPColorPressed = OleColor(toLong(read("XPColor_Pressed", asLong(0x80000014))));
    f.g_XPColorHover = OleColor(toLong(read("XPColor_Hover", asLong(0x80000016))));
    f.g_XPDefaultColors = toFlag(read("XPDefaultColors", integer(1)));
    f.g_SoundOver = toText(read("SoundOver", QStringLiteral(".\\resources\\over.wav")));
    f.g_SoundClick = toText(read("SoundClick", QStringLiteral(".\\resources\\click.wav")));
    f.g_DefCurHand = toFlag(read("DefCurHand", integer(0)));
    f.g_XPShowBorderAlways = toFlag(read("XPShowBorderAlways", integer(0)));
    f.g_MaskColor = OleColor(toLong(read("MaskColor", integer(0))));
    f.g_TransparentBG = toFlag(read("TransparentBG", integer(0)));
    f.g_Bevel = toInteger(read("BEVEL", integer(1)));
    f.g_BevelDepth = toInteger(read("BEVELDEPTH", integer(8)));

    UpdateAccessKey();
    handleButtonResize(*this);
}

} // namespace velmora
