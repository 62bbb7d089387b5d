#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

namespace velmora {

// A captioned frame grouping controls: an etched border with the caption over its top
// edge, on a plain background in BackColor, so the window shaper can cut that background
// away and leave the caption, the border and the children.
class XpFrame : public QWidget {
    Q_OBJECT
    Q_PROPERTY(uint BackColor READ BackColor WRITE setBackColor)
  public:
    XpFrame(const QString& caption, QWidget* parent);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);

    // A Colour value; the system button face unless changed.
    uint BackColor() const { return m_backColor; }
    void setBackColor(uint colour);

    // The caption colour, white unless changed.
    uint ForeColor() const { return m_foreColor; }
    void setForeColor(uint colour);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QString m_caption;
    uint m_backColor;
    uint m_foreColor = 0x00FFFFFFu;
};

} // namespace velmora
