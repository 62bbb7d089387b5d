#pragma once

#include "button_xp/Button_XP.h"
#include "platform/gdi/GdiTypes.h"

#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace velmora::test {

// An RGB triple that prints readably when a pixel comparison fails.
struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Rgb& c) {
        return os << "RGB(" << c.r << ", " << c.g << ", " << c.b << ")";
    }
    static Rgb of(gdi::COLORREF c) {
        return {gdi::GetRValue(c), gdi::GetGValue(c), gdi::GetBValue(c)};
    }
    gdi::COLORREF ref() const { return gdi::RGB(r, g, b); }
};

// The system colours the faces are made of, as the XP table holds them.
inline constexpr Rgb kFace{236, 233, 216};
inline constexpr Rgb kShadowColour{172, 168, 153};
inline constexpr Rgb kHighlightColour{255, 255, 255};
inline constexpr Rgb kDarkShadowColour{113, 111, 100};
inline constexpr Rgb kBlack{0, 0, 0};

// One button at run time on a hidden window, at its size and style, painted on demand. The
// state flags are set directly: these tests are about what each state looks like.
struct PaintRig {
    QWidget window;
    std::unique_ptr<Button_XP> button;

    PaintRig(Long style, int width, int height, const QString& caption = QString()) {
        window.resize(200, 120);
        button = std::make_unique<Button_XP>(&window, QStringLiteral("Command1"));
        host().setAmbientUserMode(true);
        host().setGeometry(10, 5, width, height);
        button->setCaption(caption);
        // Assigning the style runs the resize rules, which store the geometry and repaint.
        button->setButtonStyle(style);
    }

    ButtonXpFields& f() { return button->fields(); }
    UserControl& host() { return button->host(); }
    QImage image() { return host().persistentImage(); }
    void paint() { button->Refresh(); }
    Rgb at(int x, int y) { return Rgb::of(gdi::fromQRgb(host().persistentImage().pixel(x, y))); }

    void setState(bool over, bool down, bool focus) {
        f().g_IsOver = over ? 1 : 0;
        f().g_IsDown = down ? 1 : 0;
        f().g_HasFocus = focus ? 1 : 0;
    }
};

} // namespace velmora::test
