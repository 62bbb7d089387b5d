#include "windows/XpFrame.h"

#include "windows/ColourKey.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

namespace velmora {

XpFrame::XpFrame(const QString& caption, QWidget* parent)
    : QWidget(parent), m_caption(caption), m_backColor(kButtonFace) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    // Unsmoothed, so the shaped frame keeps no fringe of background colour round the letters.
    font.setStyleStrategy(QFont::NoAntialias);
    setFont(font);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void XpFrame::setCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void XpFrame::setBackColor(uint colour) {
    m_backColor = colour;
    update();
}

void XpFrame::setForeColor(uint colour) {
    m_foreColor = colour;
    update();
}

void XpFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) {
        update();
    }
    QWidget::changeEvent(event);
}

void XpFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Exactly one colour under everything that is not ink: the shaper keys on it.
    painter.fillRect(rect(), colourOf(m_backColor));

    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const QColor shadow = colourOf(kButtonShadow);
    const QColor light = colourOf(kButtonHighlight);
    const int right = width() - 1;
    const int bottom = height() - 1;
    // Etched border: a shadow line with a light line inside and below it.
    painter.setPen(shadow);
    painter.drawRect(0, top, right - 1, bottom - top - 1);
    painter.setPen(light);
    painter.drawLine(1, top + 1, right - 2, top + 1);
    painter.drawLine(1, top + 1, 1, bottom - 2);
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, top, right, bottom);

    if (m_caption.isEmpty()) {
        return;
    }
    const int textWidth = metrics.horizontalAdvance(m_caption);
    const QRect textRect(8, 0, textWidth + 4, metrics.height());
    painter.fillRect(textRect, colourOf(m_backColor));
    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(colourOf(m_foreColor));
        painter.drawText(textRect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         m_caption);
    } else {
        // Disabled: embossed, a light copy one pixel down and right under a grey one.
        painter.setPen(light);
        painter.drawText(textRect.adjusted(3, 1, 1, 1), Qt::AlignLeft | Qt::AlignVCenter,
                         m_caption);
        painter.setPen(colourOf(kGrayText));
        painter.drawText(textRect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         m_caption);
    }
}

} // namespace velmora
