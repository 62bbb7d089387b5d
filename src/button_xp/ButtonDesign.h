#pragma once

#include "base/Result.h"
#include "button_xp/PropertyBag.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace velmora {

class Button_XP;

// One button of a window design: its name in the window and its stored values, including the
// container's own "_extentx" and "_extenty" (size in HIMETRIC).
struct ControlDesign {
    QString name;
    PropertyBag values;

    // The stored size in pixels at 96 pixels per inch; an empty size when none is stored.
    QSize pixelSize() const;
};

// The buttons of one window, in the order the design lists them.
struct WindowDesign {
    QString window;
    std::vector<ControlDesign> controls;

    const ControlDesign* control(const QString& name) const;
};

// Either a design or the reason it could not be read.
using DesignResult = conversion::Result<WindowDesign, QString>;

// Reads a design from JSON bytes. Malformed input gives an error message, never a crash.
DesignResult parseDesign(const QByteArray& bytes);
// Reads a design file, e.g. ":/designs/frmMain.json" from the shipped resources.
DesignResult loadDesign(const QString& path);
// The JSON form of a design, which parseDesign reads back unchanged.
QByteArray serializeDesign(const WindowDesign& design);

// Sizes the button's host from the stored extent, then loads the stored values into it.
// Fails with what went wrong (loading stops at the failing key).
conversion::Result<void, QString> applyDesign(Button_XP& button, const ControlDesign& design);

// Saves the button into a design entry (its name and extent included).
ControlDesign captureDesign(const Button_XP& button, const QString& name);

} // namespace velmora
