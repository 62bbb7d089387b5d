#include "windows/WindowLook.h"

namespace velmora {

QIcon applicationIcon(const QString& resourcesFolder) {
    QIcon icon(resourcesFolder + QStringLiteral("/velmora.png"));
    return icon;
}

QPixmap windowPicture(const QString& path, qreal scale) {
    if (scale > 1) {
        const qsizetype dot = path.lastIndexOf(u'.');
        QPixmap sharp(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return QPixmap(path);
}

QPalette textBoxPalette() {
    QPalette palette;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    return palette;
}

QFont controlFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    return font;
}

QFont creditFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace velmora
