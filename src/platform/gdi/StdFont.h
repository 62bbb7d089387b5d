#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <memory>

namespace velmora {

// The attributes a font object carries, as a plain value: what a window design stores and what
// two fonts are compared by.
struct FontData {
    QString name = QStringLiteral("MS Sans Serif");
    double size = 8.25; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    short weight = 400;
    short charset = 0;

    friend bool operator==(const FontData&, const FontData&) = default;

    // The Qt font used for measuring and drawing text in this font.
    QFont toQFont() const;
};

// A shared font object: every attribute change is announced through FontChanged with the
// attribute's name, so the owner can repaint with the new look.
class StdFont : public QObject {
    Q_OBJECT
  public:
    explicit StdFont(const FontData& data = FontData{}, QObject* parent = nullptr);

    const FontData& data() const { return m_data; }

    QString Name() const { return m_data.name; }
    double Size() const { return m_data.size; }
    bool Bold() const { return m_data.bold; }
    bool Italic() const { return m_data.italic; }
    bool Underline() const { return m_data.underline; }
    bool Strikethrough() const { return m_data.strikethrough; }
    short Weight() const { return m_data.weight; }
    short Charset() const { return m_data.charset; }

    // Each setter stores and then notifies, even when the value is unchanged, as the copy of a
    // font attribute always counts as a change.
    void setName(const QString& value);
    void setSize(double value);
    void setBold(bool value);
    void setItalic(bool value);
    void setUnderline(bool value);
    void setStrikethrough(bool value);
    void setWeight(short value);
    void setCharset(short value);

    QFont toQFont() const { return m_data.toQFont(); }

  signals:
    void FontChanged(const QString& PropertyName);

  private:
    FontData m_data;
};

using FontPtr = std::shared_ptr<StdFont>;

} // namespace velmora
