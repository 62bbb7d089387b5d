#pragma once

#include "button_xp/ButtonXpFields.h"
#include "platform/gdi/StdFont.h"
#include "platform/gdi/StdPicture.h"
#include "platform/gdi/UserControl.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>

namespace velmora {

class Button_XP;
class PropertyBag;
class SoundService;
class ShellService;
class CursorService;

// Painting entry points: a full repaint of the face into the host's persistent image, and the
// resize rules (minimum size, geometry, window shape of the XP style, then a repaint through
// Button_XP::Refresh, so that Repainted follows every repaint).
void paintButton(Button_XP& button);
void handleButtonResize(Button_XP& button);

// The self-drawn XP-style push button behind every command button.
//
// The control owns its host surface (host()), a widget created as a child of the given parent;
// place and size that widget. The control itself is a child of the same parent, so it goes
// with its window unless it is deleted first (holding it in a unique_ptr member is fine).
// Construction gives a new instance with its defaults (InitProperties); a stored design is applied
// afterwards with ReadProperties, which replaces every default.
//
// Property assignments store the value, notify the host's PropertyChanged with the property's
// name, then do their follow-up (mostly a repaint). Events are signals whose arguments are
// references: a handler connected directly may change them, and the control goes on with the
// changed values.
class Button_XP : public QObject, private UserControlEvents {
    Q_OBJECT
  public:
    explicit Button_XP(QWidget* parent = nullptr, const QString& name = QString());
    ~Button_XP() override;

    Button_XP(const Button_XP&) = delete;
    Button_XP& operator=(const Button_XP&) = delete;

    ButtonXpFields& fields() { return m_fields; }
    const ButtonXpFields& fields() const { return m_fields; }
    UserControl& host() { return *m_host; }
    const UserControl& host() const { return *m_host; }

    // --- creation and persistence -----------------------------------------------------------
    // The defaults of a new instance; no notification, no repaint.
    void InitProperties();
    // Loads the stored values (straight into the fields), then derives the access key and runs
    // the resize rules. A conversion error ends loading at that key and is thrown on.
    void ReadProperties(const PropertyBag& bag);
    // Writes the stored values; values equal to their defaults are left out by the bag.
    void WriteProperties(PropertyBag& bag) const;

    // --- methods ----------------------------------------------------------------------------
    void Refresh();
    void GoToURL();
    // Colour resolution used by all drawing: system colour codes become their RGB value.
    static OleColor TranslateColor(OleColor colour);

    // --- properties -------------------------------------------------------------------------
    bool Enabled() const;
    void setEnabled(bool value);
    // The control's own font object: changing its attributes changes the button.
    FontPtr Font() const { return m_fields.g_Font; }
    // Copies Name, Size, Bold, Italic, Underline and Strikethrough (not Weight, Charset).
    void setFont(const StdFont& font);
    void setFont(const FontData& font);
    QWidget* hwnd() const { return m_host; }
    Integer MousePointer() const;
    // Throws PropertyError (overflow) outside -32768..32767, before anything changes.
    void setMousePointer(Long value);
    PicturePtr MouseIcon() const;
    void setMouseIcon(PicturePtr picture);
    bool ShowFocusRect() const { return m_fields.g_ShowFocusRect; }
    void setShowFocusRect(bool value);
    QString URL() const { return m_fields.g_URL; }
    void setURL(const QString& value);
    QString Caption() const { return m_fields.g_Caption; }
    void setCaption(const QString& value);
    Long ButtonStyle() const { return m_fields.g_ButtonStyle; }
    void setButtonStyle(Long value);
    Long PicturePosition() const { return m_fields.g_PicturePosition; }
    void setPicturePosition(Long value);
    PicturePtr Picture() const { return m_fields.g_Picture; }
    void setPicture(PicturePtr picture);
    Long PictureWidth() const { return m_fields.g_PictureWidth; }
    void setPictureWidth(Long value);
    Long PictureHeight() const { return m_fields.g_PictureHeight; }
    void setPictureHeight(Long value);
    Long PictureSize() const { return m_fields.g_PictureSize; }
    void setPictureSize(Long value);
    PicturePtr PictureHover() const { return m_fields.g_PictureHover; }
    void setPictureHover(PicturePtr picture);
    OleColor XPColor_Pressed() const { return m_fields.g_XPColorPressed; }
    void setXPColor_Pressed(OleColor value);
    OleColor XPColor_Hover() const { return m_fields.g_XPColorHover; }
    void setXPColor_Hover(OleColor value);
    bool XPDefaultColors() const { return m_fields.g_XPDefaultColors; }
    void setXPDefaultColors(bool value);
    OleColor BackColor() const { return m_fields.g_BackColor; }
    void setBackColor(OleColor value);
    OleColor ForeColor() const { return m_fields.g_ForeColor; }
    void setForeColor(OleColor value);
    QString SoundOver() const { return m_fields.g_SoundOver; }
    // Any value; kept as its text.
    void setSoundOver(const QVariant& value);
    QString SoundClick() const { return m_fields.g_SoundClick; }
    void setSoundClick(const QString& value);
    // Always the host's tag text; an assigned value is discarded.
    QString version() const;
    void setVersion(const QVariant& value);
    bool DefCurHand() const { return m_fields.g_DefCurHand; }
    void setDefCurHand(bool value);
    bool XPShowBorderAlways() const { return m_fields.g_XPShowBorderAlways; }
    void setXPShowBorderAlways(bool value);
    OleColor MaskColor() const { return m_fields.g_MaskColor; }
    void setMaskColor(OleColor value);
    bool TransparentBG() const { return m_fields.g_TransparentBG; }
    void setTransparentBG(bool value);
    Integer BEVEL() const { return m_fields.g_Bevel; }
    void setBEVEL(Integer value);
    Integer BEVELDEPTH() const { return m_fields.g_BevelDepth; }
    void setBEVELDEPTH(Integer value);

    // --- input helpers --------------------------------------------------------------------
    // Derives the access key (Alt + letter) from the caption.
    void UpdateAccessKey();
    // Services used by input; not owned. Null restores the application-wide default.
    void setSoundService(SoundService* service) { m_sound = service; }
    void setShellService(ShellService* service) { m_shell = service; }
    // Opens every URL that is not a "mailto:" address (the container's hyperlink navigation).
    void setHyperlinkService(ShellService* service) { m_hyperlink = service; }
    void setCursorService(CursorService* service) { m_cursor = service; }
    // The 10 ms poll that watches for the mouse leaving; runs only while the mouse is over.
    const QTimer& overTimer() const { return OverTimer; }

  signals:
    void Click();
    void KeyDown(velmora::Integer& KeyCode, velmora::Integer& Shift);
    void KeyPress(velmora::Integer& KeyAscii);
    void KeyUp(velmora::Integer& KeyCode, velmora::Integer& Shift);
    void MouseDown(velmora::Integer& Button, velmora::Integer& Shift, velmora::Single& X,
                   velmora::Single& Y);
    void MouseMove(velmora::Integer& Button, velmora::Integer& Shift, velmora::Single& X,
                   velmora::Single& Y);
    void MouseUp(velmora::Integer& Button, velmora::Integer& Shift, velmora::Single& X,
                 velmora::Single& Y);
    void MouseIn(velmora::Integer& Shift);
    void MouseOut(velmora::Integer& Shift);
    // After every full repaint (Refresh), so a container or a test can follow the face.
    void Repainted();

  private:
    // Host notifications (input and resize).
    void UserControl_EnterFocus() override;
    void UserControl_ExitFocus() override;
    void UserControl_MouseDown(short Button, short Shift, float X, float Y) override;
    void UserControl_MouseMove(short Button, short Shift, float X, float Y) override;
    void UserControl_MouseUp(short Button, short Shift, float X, float Y) override;
    void UserControl_DblClick() override;
    void UserControl_KeyDown(short KeyCode, short Shift) override;
    void UserControl_KeyPress(short KeyAscii) override;
    void UserControl_KeyUp(short KeyCode, short Shift) override;
    void UserControl_AccessKeyPress(short KeyAscii) override;
    void UserControl_Resize() override;
    void UserControl_AmbientChanged(const QString& PropertyName) override;

    // The handlers proper; their arguments are the ones the events pass on, so a change made
    // by a connected handler carries through to what the control does next.
    void onMouseDown(Integer& Button, Integer& Shift, Single& X, Single& Y);
    void onMouseUp(Integer& Button, Integer& Shift, Single& X, Single& Y);
    bool isInside(Single X, Single Y) const;
    SoundService& soundService() const;
    ShellService& shellService() const;
    ShellService& hyperlinkService() const;
    CursorService& cursorService() const;

    void OverTimer_Timer();
    void g_Font_FontChanged(const QString& PropertyName);
    void adoptFont(FontPtr font);
    void notify(const QString& propertyName);
    Byte PlaySoundFile(const QString& fileName);
    // Natural picture size in surface pixels, or 32 x 32 for none.
    void naturalPictureSize(const PicturePtr& picture, Long& width, Long& height) const;

    ButtonXpFields m_fields;
    QPointer<UserControl> m_host;
    QTimer OverTimer;
    SoundService* m_sound = nullptr;
    ShellService* m_shell = nullptr;
    ShellService* m_hyperlink = nullptr;
    CursorService* m_cursor = nullptr;
};

} // namespace velmora
