#include "windows/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace velmora {

QRect placeOnArea(QSize wanted, QSize smallest, const QRect& area, const QMargins& frame) {
    const QSize room = area.size().shrunkBy(frame);
    const QSize size = wanted.boundedTo(room).expandedTo(smallest);
    const QSize outer = size.grownBy(frame);
    // Centred; where even the smallest size is too large, the title bar stays reachable.
    const int left = std::max(area.left(), area.left() + (area.width() - outer.width()) / 2);
    const int top = std::max(area.top(), area.top() + (area.height() - outer.height()) / 2);
    return {QPoint(left + frame.left(), top + frame.top()), size};
}

QRect placeOnScreen(QWidget& window, QSize wanted, QSize smallest) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {window.pos(), wanted};
    }
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (frame.isNull() && !window.testAttribute(Qt::WA_WState_Created)) {
        // A usual title bar and border until the window system reports the real ones.
        frame = QMargins(4, 30, 4, 4);
    }
    const QRect client = placeOnArea(wanted, smallest, screen->availableGeometry(), frame);
    window.setFixedSize(client.size());
    // A top-level window's position is that of its frame.
    window.move(client.topLeft() - QPoint(frame.left(), frame.top()));
    return client;
}

} // namespace velmora
