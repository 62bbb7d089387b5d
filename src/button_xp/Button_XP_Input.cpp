#include "button_xp/Button_XP.h"

#include "platform/CursorService.h"
#include "platform/ShellService.h"
#include "platform/SoundService.h"

#include <QCoreApplication>
#include <QPointer>

namespace velmora {

SoundService& Button_XP::soundService() const {
    static CanberraSoundService fallback;
    return m_sound ? *m_sound : fallback;
}

ShellService& Button_XP::shellService() const {
    static DesktopShellService fallback;
    return m_shell ? *m_shell : fallback;
}

ShellService& Button_XP::hyperlinkService() const {
    // Without a navigator of its own, the shell's open verb takes every target.
    return m_hyperlink ? *m_hyperlink : shellService();
}

CursorService& Button_XP::cursorService() const {
    static QtCursorService fallback;
    return m_cursor ? *m_cursor : fallback;
}

bool Button_XP::isInside(Single X, Single Y) const {
    return X >= 0 && X < m_host->ScaleWidth() && Y >= 0 && Y < m_host->ScaleHeight();
}

// --- focus ------------------------------------------------------------------------------------

void Button_XP::UserControl_EnterFocus() {
    m_fields.g_HasFocus = 1;
    Refresh();
}

void Button_XP::UserControl_ExitFocus() {
    m_fields.g_HasFocus = 0;
    m_fields.g_IsDown = 0;
    Refresh();
}

// --- mouse ------------------------------------------------------------------------------------

void Button_XP::UserControl_MouseDown(short Button, short Shift, float X, float Y) {
    Integer button = Button;
    Integer shift = Shift;
    Single x = X;
    Single y = Y;
    onMouseDown(button, shift, x, y);
}

void Button_XP::onMouseDown(Integer& Button, Integer& Shift, Single& X, Single& Y) {
    ButtonXpFields& f = m_fields;
    f.g_LastButton = Button;
    f.g_LastShift = Shift;
    f.g_LastX = X;
    f.g_LastY = Y;
    if (Button != 2) {
        f.g_IsDown = 1;
        Refresh();
    }
    emit MouseDown(Button, Shift, X, Y);
}

void Button_XP::UserControl_MouseMove(short Button, short Shift, float X, float Y) {
    ButtonXpFields& f = m_fields;
    Integer button = Button;
    Integer shift = Shift;
    Single x = X;
    Single y = Y;
    if (isInside(x, y) && f.g_IsOver == 0) {
        OverTimer.start();
        f.g_IsOver = 1;
        if (f.g_PictureHover)
            f.g_Picture = f.g_PictureHover;
        emit MouseIn(shift);
        Refresh();
        // Lets a pending tick or paint run now; every flag is already consistent here.
        const QPointer<Button_XP> alive(this);
        QCoreApplication::processEvents();
        if (!alive)
            return; // a handler that ran meanwhile closed the window holding the button
    }
    emit MouseMove(button, shift, x, y);
}

void Button_XP::UserControl_MouseUp(short Button, short Shift, float X, float Y) {
    Integer button = Button;
    Integer shift = Shift;
    Single x = X;
    Single y = Y;
    onMouseUp(button, shift, x, y);
}

void Button_XP::onMouseUp(Integer& Button, Integer& Shift, Single& X, Single& Y) {
    ButtonXpFields& f = m_fields;
    f.g_IsDown = 0;
    if (Button != 2) {
        Refresh();
        if (isInside(X, Y)) {
            PlaySoundFile(f.g_SoundClick);
            emit Click();
            GoToURL();
        }
    }
    emit MouseUp(Button, Shift, X, Y);
}

void Button_XP::UserControl_DblClick() {
    // The second press of a double click arrives as this instead of a mouse-down: repeat the
    // last one so it looks pressed and clicks again on release.
    m_host->SetCapture();
    ButtonXpFields& f = m_fields;
    onMouseDown(f.g_LastButton, f.g_LastShift, f.g_LastX, f.g_LastY);
}

void Button_XP::OverTimer_Timer() {
    CursorService& cursor = cursorService();
    if (cursor.WindowFromPoint(cursor.GetCursorPos()) == m_host.data())
        return;
    ButtonXpFields& f = m_fields;
    OverTimer.stop();
    f.g_IsOver = 0;
    f.g_Picture = f.g_PictureNormal;
    emit MouseOut(f.g_LastShift);
    Refresh();
    if (f.g_IsDown == 1) {
        // Drawn released while the mouse is away; the flag stays so coming back shows it
        // pressed again, and a release outside does not click.
        f.g_IsDown = 0;
        Refresh();
        f.g_IsDown = 1;
    }
}

// --- keyboard ---------------------------------------------------------------------------------

void Button_XP::UserControl_KeyDown(short KeyCode, short Shift) {
    ButtonXpFields& f = m_fields;
    if (f.g_KeyIsDown == 0) {
        if (KeyCode == 32) {
            f.g_IsDown = 1;
            f.g_IsOver = 1;
            Refresh();
        }
        f.g_KeyIsDown = 1;
    }
    Integer keyCode = KeyCode;
    Integer shift = Shift;
    emit KeyDown(keyCode, shift);
}

void Button_XP::UserControl_KeyPress(short KeyAscii) {
    Integer keyAscii = KeyAscii;
    emit KeyPress(keyAscii);
}

void Button_XP::UserControl_KeyUp(short KeyCode, short Shift) {
    ButtonXpFields& f = m_fields;
    Integer keyCode = KeyCode;
    Integer shift = Shift;
    if (keyCode == 32) {
        f.g_IsDown = 0;
        f.g_IsOver = 0;
        Refresh();
        // (0, 0) is always over the control, so releasing space is a click.
        Integer button = 1;
        Single x = 0;
        Single y = 0;
        onMouseUp(button, shift, x, y);
    }
    f.g_KeyIsDown = 0;
    emit KeyUp(keyCode, shift);
}

void Button_XP::UserControl_AccessKeyPress(short) {
    if (!Enabled())
        return;
    emit Click();
    GoToURL();
}

void Button_XP::UpdateAccessKey() {
    const QString& caption = m_fields.g_Caption;
    const qsizetype n = caption.size();
    QString key;
    const qsizetype p = n < 2 ? -1 : caption.indexOf(QLatin1Char('&'));
    if (p >= 0 && p != n - 1) {
        if (caption.at(p + 1) != QLatin1Char('&')) {
            key = caption.at(p + 1).toLower();
        } else {
            // "&&" shows a plain ampersand; only the next "&" may still mark a key.
            const qsizetype q = caption.indexOf(QLatin1Char('&'), p + 2);
            if (q >= 0 && q + 1 < n && caption.at(q + 1) != QLatin1Char('&'))
                key = caption.at(q + 1).toLower();
        }
    }
    m_host->setAccessKeys(key);
}

// --- URL and sound ----------------------------------------------------------------------------

void Button_XP::GoToURL() {
    const QString& url = m_fields.g_URL;
    if (url.startsWith(QLatin1String("mailto:"), Qt::CaseSensitive))
        shellService().ShellOpen(url);
    else if (!url.isEmpty())
        hyperlinkService().ShellOpen(url);
}

Byte Button_XP::PlaySoundFile(const QString& fileName) {
    // The stored names (".\\resources\\click.wav") are relative to the program, not to
    // whatever folder the user works in.
    return soundService().playFile(
               resolveSoundPath(fileName, QCoreApplication::applicationDirPath()))
               ? 1
               : 0;
}

} // namespace velmora
