#include "platform/gdi/UserControl.h"

#include "platform/SystemColors.h"
#include "platform/gdi/GdiSurface.h"
#include "platform/gdi/SharpCopy.h"

#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>

#include <cmath>

#include <utility>

namespace velmora {

namespace {

// Length of one unit in twips, horizontally and vertically; user scale is taken as pixels.
double twipsPerUnit(ScaleUnit unit, bool vertical) {
    switch (unit) {
    case ScaleUnit::Twips:
        return 1.0;
    case ScaleUnit::Points:
        return 20.0;
    case ScaleUnit::Characters:
        return vertical ? 240.0 : 120.0;
    case ScaleUnit::Inches:
        return 1440.0;
    case ScaleUnit::Millimeters:
        return 1440.0 / 25.4;
    case ScaleUnit::Centimeters:
        return 1440.0 / 2.54;
    case ScaleUnit::Himetric:
        return 1440.0 / 2540.0;
    case ScaleUnit::User:
    case ScaleUnit::Pixels:
        break;
    }
    return 15.0;
}

short mouseButtonCode(Qt::MouseButtons buttons) {
    short code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

Qt::CursorShape cursorShape(short code) {
    switch (code) {
    case PointerArrow:
        return Qt::ArrowCursor;
    case PointerCrosshair:
        return Qt::CrossCursor;
    case PointerIbeam:
        return Qt::IBeamCursor;
    case PointerIcon:
        return Qt::ArrowCursor;
    case PointerSize:
    case PointerSizeAll:
        return Qt::SizeAllCursor;
    case PointerSizeNESW:
        return Qt::SizeBDiagCursor;
    case PointerSizeNS:
        return Qt::SizeVerCursor;
    case PointerSizeNWSE:
        return Qt::SizeFDiagCursor;
    case PointerSizeWE:
        return Qt::SizeHorCursor;
    case PointerUpArrow:
        return Qt::UpArrowCursor;
    case PointerHourglass:
        return Qt::WaitCursor;
    case PointerNoDrop:
        return Qt::ForbiddenCursor;
    case PointerArrowHourglass:
        return Qt::BusyCursor;
    case PointerArrowQuestion:
        return Qt::WhatsThisCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

UserControl::UserControl(QWidget* parent)
    : QWidget(parent), m_sharp(std::make_unique<gdi::SharpCopy>(m_image)) {
    // Moves without a button held are what tell the control that the mouse came in.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QWidget::setFont(m_font.toQFont());
}

UserControl::~UserControl() = default;

QImage& UserControl::persistentImage() {
    followScreenScale();
    const QSize wanted = size().expandedTo(QSize(1, 1));
    if (m_image.size() != wanted) {
        // Growing keeps what was drawn; the new area starts in the back colour.
        QImage grown(wanted, QImage::Format_RGB32);
        grown.fill(colourToQColor(m_backColor));
        if (!m_image.isNull()) {
            QPainter painter(&grown);
            painter.drawImage(0, 0, m_image);
        }
        m_image = std::move(grown);
    }
    return m_image;
}

gdi::Dc& UserControl::hDC() {
    QImage& image = persistentImage();
    if (!m_dc) {
        // The context draws into m_image itself, which keeps its address when it is resized.
        m_dc = std::make_unique<gdi::Dc>(image);
        m_dc->setSharpCopy(m_sharp.get());
        gdi::SelectObject(*m_dc, m_font.toQFont());
        gdi::SetTextColor(*m_dc, resolveColour(m_foreColor));
    }
    return *m_dc;
}

void UserControl::setAutoRedraw(bool on) {
    m_autoRedraw = on;
    if (!on)
        presentImage();
}

void UserControl::Cls() {
    persistentImage().fill(colourToQColor(m_backColor));
}

void UserControl::presentImage() {
    update();
}

const QImage& UserControl::shownImage() {
    persistentImage();
    return m_sharp->image();
}

void UserControl::followScreenScale() {
    const qreal scale = devicePixelRatioF();
    if (scale == m_sharp->scale())
        return;
    const bool drawnBefore = !m_image.isNull();
    m_sharp->setScale(scale);
    // Moved to a screen of another density: the control draws itself again, so that its text
    // is drawn at the new resolution.
    if (drawnBefore && m_sink)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_sink)
                    m_sink->UserControl_Resize();
            },
            Qt::QueuedConnection);
}

void UserControl::setBackColor(OleColor colour) {
    m_backColor = colour;
    Cls();
    presentImage();
}

void UserControl::setFont(const FontData& font) {
    m_font = font;
    QWidget::setFont(font.toQFont());
    if (m_dc)
        gdi::SelectObject(*m_dc, m_font.toQFont());
}

void UserControl::setForeColor(OleColor colour) {
    m_foreColor = colour;
    if (m_dc)
        gdi::SetTextColor(*m_dc, resolveColour(colour));
}

void UserControl::setMousePointer(short code) {
    m_mousePointer = code;
    applyCursor();
}

void UserControl::setMouseIcon(PicturePtr picture) {
    m_mouseIcon = std::move(picture);
    applyCursor();
}

void UserControl::applyCursor() {
    if (m_mousePointer == PointerCustom) {
        if (m_mouseIcon && m_mouseIcon->hasImage())
            setCursor(QCursor(QPixmap::fromImage(m_mouseIcon->image())));
        else
            unsetCursor(); // a custom pointer without a picture shows the normal one
        return;
    }
    if (m_mousePointer == PointerDefault)
        unsetCursor();
    else
        setCursor(cursorShape(m_mousePointer));
}

double UserControl::ScaleWidth() const {
    return ScaleX(width(), ScaleUnit::Pixels, m_scaleMode);
}

double UserControl::ScaleHeight() const {
    return ScaleY(height(), ScaleUnit::Pixels, m_scaleMode);
}

double UserControl::ScaleX(double value, ScaleUnit from, ScaleUnit to) {
    return value * twipsPerUnit(from, false) / twipsPerUnit(to, false);
}

double UserControl::ScaleY(double value, ScaleUnit from, ScaleUnit to) {
    return value * twipsPerUnit(from, true) / twipsPerUnit(to, true);
}

void UserControl::setWidthTwips(int twips) {
    resize(int(std::lround(twips / 15.0)), height());
}

void UserControl::setHeightTwips(int twips) {
    resize(width(), int(std::lround(twips / 15.0)));
}

void UserControl::setAmbientDisplayName(const QString& name) {
    m_ambientDisplayName = name;
    ambientChanged(QStringLiteral("DisplayName"));
}

void UserControl::setAmbientFont(const FontData& font) {
    m_ambientFont = font;
    ambientChanged(QStringLiteral("Font"));
}

void UserControl::setAmbientUserMode(bool runMode) {
    m_ambientUserMode = runMode;
    ambientChanged(QStringLiteral("UserMode"));
}

void UserControl::setExtenderDefault(bool isDefault) {
    m_extenderDefault = isDefault;
    ambientChanged(QStringLiteral("DisplayAsDefault"));
}

void UserControl::ambientChanged(const QString& name) {
    if (m_sink)
        m_sink->UserControl_AmbientChanged(name);
}

double UserControl::extenderLeft() const {
    return ScaleX(x(), ScaleUnit::Pixels, m_parentScaleMode);
}

double UserControl::extenderTop() const {
    return ScaleY(y(), ScaleUnit::Pixels, m_parentScaleMode);
}

void UserControl::setWindowRegion(const QRegion& region) {
    m_region = region;
    if (region.isEmpty())
        clearMask();
    else
        setMask(region);
    update();
}

void UserControl::SetCapture() {
    m_captured = true;
    grabMouse();
}

void UserControl::setAccessKeys(const QString& keys) {
    for (QShortcut* shortcut : m_shortcuts)
        delete shortcut;
    m_shortcuts.clear();
    m_accessKeys = keys;
    for (const QChar key : keys) {
        const QChar upper = key.toUpper();
        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(upper.unicode())), this);
        shortcut->setContext(Qt::WindowShortcut);
        const short ascii = short(key.toLower().unicode());
        connect(shortcut, &QShortcut::activated, this, [this, ascii] {
            if (m_sink)
                m_sink->UserControl_AccessKeyPress(ascii);
        });
        m_shortcuts.push_back(shortcut);
    }
}

short UserControl::shiftState(Qt::KeyboardModifiers modifiers) {
    short shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

short UserControl::virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return short(0x60 + (qtKey - Qt::Key_0));
        switch (qtKey) {
        case Qt::Key_Asterisk:
            return 0x6A;
        case Qt::Key_Plus:
            return 0x6B;
        case Qt::Key_Comma:
            return 0x6C;
        case Qt::Key_Minus:
            return 0x6D;
        case Qt::Key_Period:
            return 0x6E;
        case Qt::Key_Slash:
            return 0x6F;
        default:
            break; // Enter and the keypad's arrows share the main keys' codes
        }
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return short(qtKey); // letters and digits share their codes
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return short(0x70 + (qtKey - Qt::Key_F1));
    // Qt names the character a shifted key types; the key's code is that of the unshifted key
    // (US layout, as the OEM codes are defined).
    static constexpr std::pair<int, short> kShiftedDigits[] = {
        {Qt::Key_ParenRight, 0x30},  {Qt::Key_Exclam, 0x31},    {Qt::Key_At, 0x32},
        {Qt::Key_NumberSign, 0x33},  {Qt::Key_Dollar, 0x34},    {Qt::Key_Percent, 0x35},
        {Qt::Key_AsciiCircum, 0x36}, {Qt::Key_Ampersand, 0x37}, {Qt::Key_Asterisk, 0x38},
        {Qt::Key_ParenLeft, 0x39}};
    for (const auto& [key, code] : kShiftedDigits) {
        if (key == qtKey)
            return code;
    }
    switch (qtKey) {
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 0xBA;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return 0xBB;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 0xBC;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 0xBD;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 0xBE;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 0xDD;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 0xDE;
    case Qt::Key_Clear:
        return 0x0C;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Help:
        return 0x2F;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return 0x5B;
    case Qt::Key_Super_R:
        return 0x5C;
    case Qt::Key_Menu:
        return 0x5D;
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_ScrollLock:
        return 0x91;
    case Qt::Key_VolumeMute:
        return 0xAD;
    case Qt::Key_VolumeDown:
        return 0xAE;
    case Qt::Key_VolumeUp:
        return 0xAF;
    case Qt::Key_MediaNext:
        return 0xB0;
    case Qt::Key_MediaPrevious:
        return 0xB1;
    case Qt::Key_MediaStop:
        return 0xB2;
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
        return 0xB3;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    default:
        return 0;
    }
}

float UserControl::toScaleX(double pixels) const {
    return float(ScaleX(pixels, ScaleUnit::Pixels, m_scaleMode));
}

float UserControl::toScaleY(double pixels) const {
    return float(ScaleY(pixels, ScaleUnit::Pixels, m_scaleMode));
}

void UserControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), shownImage());
}

void UserControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    persistentImage();
    if (m_sink)
        m_sink->UserControl_Resize();
}

void UserControl::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (m_sink)
        m_sink->UserControl_EnterFocus();
}

void UserControl::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (m_sink)
        m_sink->UserControl_ExitFocus();
}

void UserControl::mousePressEvent(QMouseEvent* event) {
    if (m_sink) {
        const QPointF p = event->position();
        m_sink->UserControl_MouseDown(mouseButtonCode(event->button()),
                                      shiftState(event->modifiers()), toScaleX(p.x()),
                                      toScaleY(p.y()));
    }
}

void UserControl::mouseMoveEvent(QMouseEvent* event) {
    if (m_sink) {
        const QPointF p = event->position();
        m_sink->UserControl_MouseMove(mouseButtonCode(event->buttons()),
                                      shiftState(event->modifiers()), toScaleX(p.x()),
                                      toScaleY(p.y()));
    }
}

void UserControl::mouseReleaseEvent(QMouseEvent* event) {
    if (m_captured && event->buttons() == Qt::NoButton) {
        m_captured = false;
        releaseMouse();
    }
    if (m_sink) {
        const QPointF p = event->position();
        m_sink->UserControl_MouseUp(mouseButtonCode(event->button()),
                                    shiftState(event->modifiers()), toScaleX(p.x()),
                                    toScaleY(p.y()));
    }
}

void UserControl::mouseDoubleClickEvent(QMouseEvent*) {
    if (m_sink)
        m_sink->UserControl_DblClick();
}

void UserControl::keyPressEvent(QKeyEvent* event) {
    if (!m_sink) {
        QWidget::keyPressEvent(event);
        return;
    }
    m_sink->UserControl_KeyDown(virtualKeyCode(event->key(), event->modifiers()),
                                shiftState(event->modifiers()));
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() < 0x100 && !(event->modifiers() & Qt::AltModifier))
        m_sink->UserControl_KeyPress(short(text.at(0).unicode()));
}

void UserControl::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats as further key-downs only; the release comes once, at the end.
    if (event->isAutoRepeat())
        return;
    if (!m_sink) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_sink->UserControl_KeyUp(virtualKeyCode(event->key(), event->modifiers()),
                              shiftState(event->modifiers()));
}

} // namespace velmora
