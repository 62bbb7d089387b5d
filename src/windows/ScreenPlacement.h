#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace velmora {

// Where a window of `wanted` client size goes on a screen's available `area`: shrunk where the
// area is too small (never below `smallest`), and centred with its title bar and borders
// (`frame`) on the area, the top-left corner kept on it first. Returns the client rectangle.
QRect placeOnArea(QSize wanted, QSize smallest, const QRect& area, const QMargins& frame);

// The client rectangle `client` moved `steps` cascade steps down and right, a title bar's height
// (`frame.top()`) each; steps that would take its frame off `area` start again from the top left
// of the cascade, so the window stays whole on the screen.
QRect cascadeOnArea(const QRect& client, int steps, const QRect& area, const QMargins& frame);

// Places `window` on the available area of its screen by placeOnArea, before it is first
// shown, `cascade` steps down and right of there (see cascadeOnArea); its frame is estimated
// until the window system has drawn one.
QRect placeOnScreen(QWidget& window, QSize wanted, QSize smallest, int cascade = 0);

} // namespace velmora
