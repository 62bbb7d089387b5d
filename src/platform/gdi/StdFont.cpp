#include "platform/gdi/StdFont.h"

namespace velmora {

QFont FontData::toQFont() const {
    QFont font(name);
    font.setPointSizeF(size);
    // Bold is the deciding attribute; the weight only refines a non-bold font.
    font.setWeight(bold ? QFont::Bold : QFont::Weight(qBound(1, int(weight), 1000)));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikethrough);
    return font;
}

StdFont::StdFont(const FontData& data, QObject* parent) : QObject(parent), m_data(data) {}

void StdFont::setName(const QString& value) {
    m_data.name = value;
    emit FontChanged(QStringLiteral("Name"));
}

void StdFont::setSize(double value) {
    m_data.size = value;
    emit FontChanged(QStringLiteral("Size"));
}

void StdFont::setBold(bool value) {
    m_data.bold = value;
    emit FontChanged(QStringLiteral("Bold"));
}

void StdFont::setItalic(bool value) {
    m_data.italic = value;
    emit FontChanged(QStringLiteral("Italic"));
}

void StdFont::setUnderline(bool value) {
    m_data.underline = value;
    emit FontChanged(QStringLiteral("Underline"));
}

void StdFont::setStrikethrough(bool value) {
    m_data.strikethrough = value;
    emit FontChanged(QStringLiteral("Strikethrough"));
}

void StdFont::setWeight(short value) {
    m_data.weight = value;
    emit FontChanged(QStringLiteral("Weight"));
}

void StdFont::setCharset(short value) {
    m_data.charset = value;
    emit FontChanged(QStringLiteral("Charset"));
}

} // namespace velmora
