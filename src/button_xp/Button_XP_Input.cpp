#include "button_xp/Button_XP.h"

#include <QCoreApplication>

namespace velmora {

void Button_XP::UserControl_EnterFocus()
{
    m_fields.g_HasFocus = 1;
    Refresh();
}

void Button_XP::UserControl_ExitFocus()
{
    m_fields.g_HasFocus = 0;
    m_fields.g_IsDown = 0;
    Refresh();
}

void Button_XP::UserControl_MouseDown(short Button, short Shift, float X, float Y)
{
    ButtonXpFields& f = m_fields;
    f.g_LastButton = Button;
    f.g_LastShift = Shift;
    f.g_LastX = X;
    f.g_LastY = Y;
    if (Button != 2) {
        f.g_IsDown = 1;
        Refresh();
    }
    Integer button = Button;
    Integer shift = Shift;
    Single x = X;
    Single y = Y;
    emit MouseDown(button, shift, x, y);
}

void Button_XP::UserControl_MouseMove(short Button, short Shift, float X, float Y)
{
    ButtonXpFields& f = m_fields;
    if (X >= 0 && X < m_host->ScaleWidth() && Y >= 0 && Y < m_host->ScaleHeight()
        && f.g_IsOver == 0) {
        OverTimer.start();
        f.g_IsOver = 1;
        if (f.g_PictureHover)
            f.g_Picture = f.g_PictureHover;
        Integer shift = Shift;
        emit MouseIn(shift);
        Refresh();
        // Lets a pending tick or paint run now; every flag is already consistent here.
        QCoreApplication::processEvents();
    }
    Integer button = Button;
    Integer shift = Shift;
    Single x = X;
    Single y = Y;
    emit MouseMove(button, shift, x, y);
}

void Button_XP::UserControl_MouseUp(short Button, short Shift, float X, float Y)
{
    ButtonXpFields& f = m_fields;
    f.g_IsDown = 0;
    if (Button != 2) {
        Refresh();
        if (X >= 0 && X < m_host->ScaleWidth() && Y >= 0 && Y < m_host->ScaleHeight()) {
            PlaySoundFile(f.g_SoundClick);
            emit Click();
            GoToURL();
        }
    }
    Integer button = Button;
    Integer shift = Shift;
    Single x = X;
    Single y = Y;
    emit MouseUp(button, shift, x, y);
}

void Button_XP::UserControl_DblClick()
{
    m_host->SetCapture();
    const ButtonXpFields& f = m_fields;
    UserControl_MouseDown(f.g_LastButton, f.g_LastShift, f.g_LastX, f.g_LastY);
}

void Button_XP::OverTimer_Timer()
{
    // Stub until the cursor service is wired in.
}

void Button_XP::UserControl_KeyDown(short KeyCode, short Shift)
{
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

void Button_XP::UserControl_KeyPress(short KeyAscii)
{
    Integer keyAscii = KeyAscii;
    emit KeyPress(keyAscii);
}

void Button_XP::UserControl_KeyUp(short KeyCode, short Shift)
{
    ButtonXpFields& f = m_fields;
    if (KeyCode == 32) {
        f.g_IsDown = 0;
        f.g_IsOver = 0;
        Refresh();
        UserControl_MouseUp(1, Shift, 0, 0);
    }
    f.g_KeyIsDown = 0;
    Integer keyCode = KeyCode;
    Integer shift = Shift;
    emit KeyUp(keyCode, shift);
}

void Button_XP::UserControl_AccessKeyPress(short)
{
    if (!Enabled())
        return;
    emit Click();
    GoToURL();
}

void Button_XP::UpdateAccessKey()
{
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

void Button_XP::GoToURL()
{
}

Byte Button_XP::PlaySoundFile(const QString&)
{
    return 0;
}

} // namespace velmora
