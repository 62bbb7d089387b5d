#pragma once

#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

namespace velmora {

// The application icon from the resources folder.
QIcon applicationIcon(const QString& resourcesFolder);

// The picture at `path` for a screen of `scale` device pixels per pixel: on a high-density
// screen its "@2x" drawing beside it, when there is one, so that it is as sharp as the text.
QPixmap windowPicture(const QString& path, qreal scale);

// Text boxes and lists: white with black text, also inside a disabled frame, where the
// box is out of reach but still shows its text plainly.
QPalette textBoxPalette();

// MS Sans Serif 8.25 pt, the font of the controls.
QFont controlFont();

// The credit lines: like the frame captions, drawn without smoothing so that the shaped
// frame keeps no fringe of background colour around the letters.
QFont creditFont();

} // namespace velmora
