#pragma once

#include <QString>

class QWidget;

namespace velmora {

// A modal message with an OK button only, captioned with the application's title.
class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;

    static QString caption() { return QStringLiteral("Velmora"); }

    // Returns when the user has confirmed.
    virtual void show(const QString& text, QWidget* parent) = 0;
};

class QtMessageBoxService final : public MessageBoxService {
  public:
    void show(const QString& text, QWidget* parent) override;
};

} // namespace velmora
