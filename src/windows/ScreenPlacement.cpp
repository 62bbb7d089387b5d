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

QRect cascadeOnArea(const QRect& client, int steps, const QRect& area, const QMargins& frame) {
    const int step = std::max(frame.top(), 1);
    const QRect outer = client.marginsAdded(frame);
    // How many steps fit before the frame would leave the area on the right or at the bottom.
    const int room = std::min(area.right() - outer.right(), area.bottom() - outer.bottom());
    const int fitting = std::max(room, 0) / step + 1;
    const int taken = std::max(steps, 0) % fitting;
    return client.translated(taken * step, taken * step);
}

QRect placeOnScreen(QWidget& window, QSize wanted, QSize smallest, int cascade) {
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
    const QRect area = screen->availableGeometry();
    const QRect client =
        cascadeOnArea(placeOnArea(wanted, smallest, area, frame), cascade, area, frame);
    window.setFixedSize(client.size());
    // A top-level window's position is that of its frame.
    window.move(client.topLeft() - QPoint(frame.left(), frame.top()));
    return client;
}

} // namespace velmora
