#pragma once

#include <QPoint>

class QWidget;

namespace velmora {

// Where the mouse pointer is and which window is under a point, for controls that poll for the
// mouse leaving them.
class CursorService {
  public:
    virtual ~CursorService() = default;
    // The pointer position in global (screen) coordinates.
    virtual QPoint GetCursorPos() const = 0;
    // The innermost visible widget at a global point, or null; a widget's shape (mask) counts,
    // so a cut-away corner belongs to what lies behind it.
    virtual QWidget* WindowFromPoint(const QPoint& globalPos) const = 0;
};

class QtCursorService final : public CursorService {
  public:
    QPoint GetCursorPos() const override;
    QWidget* WindowFromPoint(const QPoint& globalPos) const override;
};

} // namespace velmora
