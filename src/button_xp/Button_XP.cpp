#include "button_xp/Button_XP.h"

#include "button_xp/PropertyBag.h"
#include "platform/SystemColors.h"

#include <cmath>

namespace velmora {

namespace {

constexpr OleColor kDefaultForeColor = 0x80000012;      // button text
constexpr OleColor kDefaultBackColor = 0x8000000F;      // button face
constexpr OleColor kDefaultXPColorPressed = 0x80000014; // button highlight
constexpr OleColor kDefaultXPColorHover = 0x80000016;   // 3-D light

} // namespace

Button_XP::Button_XP(QWidget* parent, const QString& name)
    : QObject(parent), m_host(new UserControl(parent)) {
    m_host->setObjectName(name);
    m_host->setAmbientDisplayName(name);
    m_fields.g_Font = std::make_shared<StdFont>();
    connect(m_fields.g_Font.get(), &StdFont::FontChanged, this, &Button_XP::g_Font_FontChanged);
    m_host->setScaleMode(ScaleUnit::Pixels);
    OverTimer.setInterval(10);
    connect(&OverTimer, &QTimer::timeout, this, &Button_XP::OverTimer_Timer);
    InitProperties();
    m_host->setEventSink(this);
    // A host taken away by another owner must not be polled for any longer.
    connect(m_host.data(), &QObject::destroyed, this, [this] { OverTimer.stop(); });
}

Button_XP::~Button_XP() {
    OverTimer.stop();
    m_fields.g_Region = gdi::Region();
    adoptFont(nullptr);
    if (m_host) {
        m_host->setEventSink(nullptr);
        delete m_host.data();
    }
}

void Button_XP::InitProperties() {
    ButtonXpFields& f = m_fields;
    f.g_BackColor = kDefaultBackColor;
    f.g_ForeColor = kDefaultForeColor;
    f.g_ShowFocusRect = true;
    m_host->setFont(m_host->ambientFont());
    adoptFont(std::make_shared<StdFont>(m_host->ambientFont()));
    f.g_Caption = m_host->ambientDisplayName();
    f.g_PicturePosition = PictureLeft;
    f.g_ButtonStyle = StyleFlat;
    f.g_PictureWidth = 32;
    f.g_PictureHeight = 32;
    f.g_PictureSize = PictureSize32;
    // Empty picture objects, not none: a new instance saves them as such.
    f.g_PictureHover = std::make_shared<StdPicture>();
    f.g_PictureNormal = std::make_shared<StdPicture>();
    f.g_URL.clear();
    f.g_XPColorPressed = kDefaultXPColorPressed;
    f.g_XPColorHover = kDefaultXPColorHover;
    f.g_XPDefaultColors = true;
    f.g_SoundOver = QStringLiteral(".\\resources\\over.wav");
    f.g_SoundClick = QStringLiteral(".\\resources\\click.wav");
    f.g_DefCurHand = false;
    f.g_XPShowBorderAlways = false;
    f.g_TransparentBG = false;
    f.g_MaskColor = 0;
    f.g_Bevel = 1;
    f.g_BevelDepth = 8;
}

void Button_XP::adoptFont(FontPtr font) {
    if (m_fields.g_Font)
        disconnect(m_fields.g_Font.get(), nullptr, this, nullptr);
    m_fields.g_Font = std::move(font);
    if (m_fields.g_Font)
        connect(m_fields.g_Font.get(), &StdFont::FontChanged, this, &Button_XP::g_Font_FontChanged);
}

void Button_XP::notify(const QString& propertyName) {
    emit m_host->PropertyChanged(propertyName);
}

void Button_XP::Refresh() {
    paintButton(*this);
    emit Repainted();
}

OleColor Button_XP::TranslateColor(OleColor colour) {
    return resolveColour(colour);
}

// --- properties ------------------------------------------------------------------------------

bool Button_XP::Enabled() const {
    // The control's own setting: inside a disabled frame it takes no input but still looks,
    // and is saved, as set.
    return !m_host->testAttribute(Qt::WA_ForceDisabled);
}

void Button_XP::setEnabled(bool value) {
    m_host->setEnabled(value);
    notify(QStringLiteral("Enabled"));
    Refresh();
}

void Button_XP::setFont(const FontData& font) {
    StdFont& target = *m_fields.g_Font;
    target.setName(font.name);
    target.setSize(font.size);
    target.setBold(font.bold);
    target.setItalic(font.italic);
    target.setUnderline(font.underline);
    target.setStrikethrough(font.strikethrough);
    notify(QStringLiteral("Font"));
}

void Button_XP::setFont(const StdFont& font) {
    setFont(font.data());
}

void Button_XP::g_Font_FontChanged(const QString&) {
    m_host->setFont(m_fields.g_Font->data());
    Refresh();
}

Integer Button_XP::MousePointer() const {
    return m_host->MousePointer();
}

void Button_XP::setMousePointer(Long value) {
    if (value < -32768 || value > 32767)
        throw PropertyError(PropertyError::Overflow, QStringLiteral("Overflow"));
    m_host->setMousePointer(Integer(value));
    notify(QStringLiteral("MousePointer"));
}

PicturePtr Button_XP::MouseIcon() const {
    return m_host->MouseIcon();
}

void Button_XP::setMouseIcon(PicturePtr picture) {
    m_host->setMouseIcon(std::move(picture));
    notify(QStringLiteral("MouseIcon"));
}

void Button_XP::setShowFocusRect(bool value) {
    m_fields.g_ShowFocusRect = value;
    notify(QStringLiteral("ShowFocusRect"));
    Refresh();
}

void Button_XP::setURL(const QString& value) {
    m_fields.g_URL = value;
    notify(QStringLiteral("URL"));
}

void Button_XP::setCaption(const QString& value) {
    m_fields.g_Caption = value;
    notify(QStringLiteral("Caption"));
    UpdateAccessKey();
    Refresh();
}

void Button_XP::setButtonStyle(Long value) {
    m_fields.g_ButtonStyle = value;
    notify(QStringLiteral("ButtonStyle"));
    if (value == StyleXP)
        setTransparentBG(false);
    // The new style reaches the window shape at once, without a size change.
    handleButtonResize(*this);
}

void Button_XP::setPicturePosition(Long value) {
    m_fields.g_PicturePosition = value;
    notify(QStringLiteral("PicturePosition"));
    Refresh();
}

void Button_XP::naturalPictureSize(const PicturePtr& picture, Long& width, Long& height) const {
    if (!picture) {
        width = 32;
        height = 32;
        return;
    }
    // Whole HIMETRIC units to pixels, halves rounded to even.
    width = Long(std::nearbyint(
        UserControl::ScaleX(picture->Width(), ScaleUnit::Himetric, m_host->ScaleMode())));
    height = Long(std::nearbyint(
        UserControl::ScaleY(picture->Height(), ScaleUnit::Himetric, m_host->ScaleMode())));
}

void Button_XP::setPicture(PicturePtr picture) {
    ButtonXpFields& f = m_fields;
    f.g_Picture = picture;
    f.g_PictureNormal = picture;
    naturalPictureSize(picture, f.g_OriginalPicSizeW, f.g_OriginalPicSizeH);
    notify(QStringLiteral("Picture"));
    if (f.g_PictureSize == PictureSizeNatural)
        naturalPictureSize(f.g_Picture, f.g_PictureWidth, f.g_PictureHeight);
    Refresh();
}

void Button_XP::setPictureWidth(Long value) {
    m_fields.g_PictureWidth = value;
    notify(QStringLiteral("PictureWidth"));
    Refresh();
}

void Button_XP::setPictureHeight(Long value) {
    m_fields.g_PictureHeight = value;
    notify(QStringLiteral("PictureHeight"));
    Refresh();
}

void Button_XP::setPictureSize(Long value) {
    ButtonXpFields& f = m_fields;
    f.g_PictureSize = value;
    notify(QStringLiteral("PictureSize"));
    switch (value) {
    case PictureSize16:
        f.g_PictureWidth = 16;
        f.g_PictureHeight = 16;
        break;
    case PictureSize32:
        f.g_PictureWidth = 32;
        f.g_PictureHeight = 32;
        break;
    case PictureSizeNatural:
        if (f.g_Picture) {
            f.g_PictureWidth = f.g_OriginalPicSizeW;
            f.g_PictureHeight = f.g_OriginalPicSizeH;
        } else {
            f.g_PictureWidth = 32;
            f.g_PictureHeight = 32;
        }
        break;
    default:
        break; // other values keep the drawn size
    }
    Refresh();
}

void Button_XP::setPictureHover(PicturePtr picture) {
    m_fields.g_PictureHover = std::move(picture);
    notify(QStringLiteral("PictureHover"));
}

void Button_XP::setXPColor_Pressed(OleColor value) {
    m_fields.g_XPColorPressed = value;
    notify(QStringLiteral("XPColor_Pressed"));
}

void Button_XP::setXPColor_Hover(OleColor value) {
    m_fields.g_XPColorHover = value;
    notify(QStringLiteral("XPColor_Hover"));
}

void Button_XP::setXPDefaultColors(bool value) {
    m_fields.g_XPDefaultColors = value;
    notify(QStringLiteral("XPDefaultColors"));
}

void Button_XP::setBackColor(OleColor value) {
    m_fields.g_BackColor = value;
    notify(QStringLiteral("BackColor"));
    m_host->setBackColor(value);
    Refresh();
}

void Button_XP::setForeColor(OleColor value) {
    m_fields.g_ForeColor = value;
    notify(QStringLiteral("ForeColor"));
    m_host->setForeColor(value);
    Refresh();
}

void Button_XP::setSoundOver(const QVariant& value) {
    m_fields.g_SoundOver = value.toString();
    notify(QStringLiteral("SoundOver"));
}

void Button_XP::setSoundClick(const QString& value) {
    m_fields.g_SoundClick = value;
    notify(QStringLiteral("SoundClick"));
}

QString Button_XP::version() const {
    return m_host->Tag();
}

void Button_XP::setVersion(const QVariant&) {
    // The version is the control's own; nothing is stored or announced.
}

void Button_XP::setDefCurHand(bool value) {
    m_fields.g_DefCurHand = value;
    notify(QStringLiteral("DefCurHand"));
}

void Button_XP::setXPShowBorderAlways(bool value) {
    m_fields.g_XPShowBorderAlways = value;
    notify(QStringLiteral("XPShowBorderAlways"));
}

void Button_XP::setMaskColor(OleColor value) {
    m_fields.g_MaskColor = value;
    notify(QStringLiteral("MaskColor"));
    Refresh();
}

void Button_XP::setTransparentBG(bool value) {
    m_fields.g_TransparentBG = value;
    notify(QStringLiteral("TransparentBG"));
    Refresh();
}

void Button_XP::setBEVEL(Integer value) {
    m_fields.g_Bevel = value;
    notify(QStringLiteral("BEVEL"));
    Refresh();
}

void Button_XP::setBEVELDEPTH(Integer value) {
    m_fields.g_BevelDepth = value;
    notify(QStringLiteral("BEVELDEPTH"));
    Refresh();
}

void Button_XP::UserControl_Resize() {
    handleButtonResize(*this);
}

void Button_XP::UserControl_AmbientChanged(const QString&) {
    Refresh();
}

} // namespace velmora
