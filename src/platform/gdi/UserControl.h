#pragma once

#include "platform/gdi/StdFont.h"
#include "platform/gdi/StdPicture.h"

#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QShortcut;

namespace velmora::gdi {
class Dc;
class SharpCopy;
} // namespace velmora::gdi

namespace velmora {

// Colour in the OLE convention: 0x00BBGGRR, or 0x80000000 + n for system colour n.
using OleColor = std::uint32_t;

// Units of ScaleMode, with the codes the container uses.
enum class ScaleUnit : short {
    User = 0,
    Twips = 1,
    Points = 2,
    Pixels = 3,
    Characters = 4,
    Inches = 5,
    Millimeters = 6,
    Centimeters = 7,
    Himetric = 8,
};

// Pointer shape codes of MousePointer; Custom shows the MouseIcon picture.
enum MousePointerCode : short {
    PointerDefault = 0,
    PointerArrow = 1,
    PointerCrosshair = 2,
    PointerIbeam = 3,
    PointerIcon = 4,
    PointerSize = 5,
    PointerSizeNESW = 6,
    PointerSizeNS = 7,
    PointerSizeNWSE = 8,
    PointerSizeWE = 9,
    PointerUpArrow = 10,
    PointerHourglass = 11,
    PointerNoDrop = 12,
    PointerArrowHourglass = 13,
    PointerArrowQuestion = 14,
    PointerSizeAll = 15,
    PointerCustom = 99,
};

// The notifications a control receives from its host surface, with the control's own units:
// Button 1 = left, 2 = right, 4 = middle; Shift 1 = Shift, 2 = Ctrl, 4 = Alt; X and Y in the
// surface's scale (pixels unless changed); key codes are Windows virtual-key codes.
class UserControlEvents {
  public:
    virtual ~UserControlEvents() = default;
    virtual void UserControl_EnterFocus() {}
    virtual void UserControl_ExitFocus() {}
    virtual void UserControl_MouseDown(short /*Button*/, short /*Shift*/, float /*X*/,
                                       float /*Y*/) {}
    virtual void UserControl_MouseMove(short /*Button*/, short /*Shift*/, float /*X*/,
                                       float /*Y*/) {}
    virtual void UserControl_MouseUp(short /*Button*/, short /*Shift*/, float /*X*/, float /*Y*/) {}
    virtual void UserControl_DblClick() {}
    virtual void UserControl_KeyDown(short /*KeyCode*/, short /*Shift*/) {}
    virtual void UserControl_KeyPress(short /*KeyAscii*/) {}
    virtual void UserControl_KeyUp(short /*KeyCode*/, short /*Shift*/) {}
    virtual void UserControl_AccessKeyPress(short /*KeyAscii*/) {}
    virtual void UserControl_Resize() {}
    virtual void UserControl_AmbientChanged(const QString& /*PropertyName*/) {}
};

// The surface a self-drawn control lives on: a widget that shows a persistent image, keeps the
// control's colours, font, pointer and scale, answers the container's ambient and extender
// questions, and turns Qt input into the notifications of UserControlEvents.
class UserControl : public QWidget {
    Q_OBJECT
  public:
    explicit UserControl(QWidget* parent = nullptr);
    ~UserControl() override;

    // Receives the host notifications; not owned. Null stops delivery.
    void setEventSink(UserControlEvents* sink) { m_sink = sink; }

    // --- persistent drawing surface ---------------------------------------------------------
    // The image that is shown whenever the widget paints; always sized to the widget.
    QImage& persistentImage();
    bool AutoRedraw() const { return m_autoRedraw; }
    // Switching it off presents the finished image at once.
    void setAutoRedraw(bool on);
    // Fills the persistent image with the back colour.
    void Cls();
    // Shows the persistent image now (after drawing into it with AutoRedraw off).
    void presentImage();
    // What the widget shows: the persistent image, or on a high-density screen its copy at the
    // screen's resolution, with sharp text (device pixel ratio set).
    const QImage& shownImage();
    QWidget* hwnd() { return this; }
    // The device context over the persistent image, with the surface font selected and the
    // fore colour as text colour. Lives as long as the surface.
    gdi::Dc& hDC();

    // --- colours and font -------------------------------------------------------------------
    OleColor BackColor() const { return m_backColor; }
    // Also clears the persistent image to the new colour.
    void setBackColor(OleColor colour);
    OleColor ForeColor() const { return m_foreColor; }
    // Also the text colour of hDC.
    void setForeColor(OleColor colour);
    const FontData& Font() const { return m_font; }
    // Also becomes the widget's QFont, used for measuring and drawing the caption.
    void setFont(const FontData& font);
    using QWidget::setFont;

    // --- pointer ------------------------------------------------------------------------------
    short MousePointer() const { return m_mousePointer; }
    void setMousePointer(short code);
    PicturePtr MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(PicturePtr picture);

    // --- scale --------------------------------------------------------------------------------
    ScaleUnit ScaleMode() const { return m_scaleMode; }
    void setScaleMode(ScaleUnit mode) { m_scaleMode = mode; }
    double ScaleWidth() const;
    double ScaleHeight() const;
    // Converts a horizontal or vertical length between units (pixels at 96 per inch, 15 twips
    // per pixel, 2540 HIMETRIC per inch).
    static double ScaleX(double value, ScaleUnit from, ScaleUnit to);
    static double ScaleY(double value, ScaleUnit from, ScaleUnit to);
    // Size of the control as the container sees it, in twips.
    int widthTwips() const { return width() * 15; }
    int heightTwips() const { return height() * 15; }
    void setWidthTwips(int twips);
    void setHeightTwips(int twips);

    QString Tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }

    // --- ambient properties of the container ------------------------------------------------
    QString ambientDisplayName() const { return m_ambientDisplayName; }
    void setAmbientDisplayName(const QString& name);
    FontData ambientFont() const { return m_ambientFont; }
    void setAmbientFont(const FontData& font);
    // True at run time, false while a designer shows the control.
    bool ambientUserMode() const { return m_ambientUserMode; }
    void setAmbientUserMode(bool runMode);

    // --- extender and parent ----------------------------------------------------------------
    // Whether this control is its window's default button.
    bool extenderDefault() const { return m_extenderDefault; }
    void setExtenderDefault(bool isDefault);
    // Position in the parent's scale units.
    double extenderLeft() const;
    double extenderTop() const;
    PicturePtr parentPicture() const { return m_parentPicture; }
    void setParentPicture(PicturePtr picture) { m_parentPicture = std::move(picture); }
    ScaleUnit parentScaleMode() const { return m_parentScaleMode; }
    void setParentScaleMode(ScaleUnit mode) { m_parentScaleMode = mode; }

    // --- window shape, capture, access keys ---------------------------------------------------
    // An empty region removes the shape; the surface then is its whole rectangle again.
    void setWindowRegion(const QRegion& region);
    QRegion windowRegion() const { return m_region; }
    // Keeps the mouse on this widget until the buttons are released.
    void SetCapture();
    bool hasCapture() const { return m_captured; }
    // Letters that, with Alt, reach UserControl_AccessKeyPress; empty for none.
    QString AccessKeys() const { return m_accessKeys; }
    void setAccessKeys(const QString& keys);

    // Windows virtual-key code of a Qt key event (0 when it has none). Keypad keys (with
    // Qt::KeypadModifier) get the keypad codes; punctuation the US-layout OEM codes.
    static short virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers = {});
    static short shiftState(Qt::KeyboardModifiers modifiers);

  signals:
    // Tells the container that the named property changed and the control must be saved again.
    void PropertyChanged(const QString& PropertyName);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void applyCursor();
    void followScreenScale();
    void ambientChanged(const QString& name);
    float toScaleX(double pixels) const;
    float toScaleY(double pixels) const;

    UserControlEvents* m_sink = nullptr;
    QImage m_image;
    bool m_autoRedraw = false;
    OleColor m_backColor = 0x8000000F;
    OleColor m_foreColor = 0x80000012;
    FontData m_font;
    short m_mousePointer = PointerDefault;
    PicturePtr m_mouseIcon;
    ScaleUnit m_scaleMode = ScaleUnit::Twips;
    QString m_tag = QStringLiteral("030102-155");
    QString m_ambientDisplayName;
    FontData m_ambientFont;
    bool m_ambientUserMode = true;
    bool m_extenderDefault = false;
    PicturePtr m_parentPicture;
    ScaleUnit m_parentScaleMode = ScaleUnit::Twips;
    QRegion m_region;
    bool m_captured = false;
    QString m_accessKeys;
    std::vector<QShortcut*> m_shortcuts;
    std::unique_ptr<gdi::SharpCopy> m_sharp;
    std::unique_ptr<gdi::Dc> m_dc;
};

} // namespace velmora
