#include "platform/CursorService.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

namespace velmora {

QPoint QtCursorService::GetCursorPos() const {
    return QCursor::pos();
}

QWidget* QtCursorService::WindowFromPoint(const QPoint& globalPos) const {
    return QApplication::widgetAt(globalPos);
}

} // namespace velmora
