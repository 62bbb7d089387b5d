#pragma once

#include <QString>

class QWidget;

namespace velmora {

// Modal messages captioned with the application's title: a notice with an OK button, or a
// question answered Yes or No.
class MessageBoxService {
  public:
    virtual ~MessageBoxService() = default;

    static QString caption() { return QStringLiteral("Velmora"); }

    // Returns when the user has confirmed.
    virtual void show(const QString& text, QWidget* parent) = 0;
    // True for Yes.
    virtual bool ask(const QString& text, QWidget* parent) = 0;
};

class QtMessageBoxService final : public MessageBoxService {
  public:
    void show(const QString& text, QWidget* parent) override;
    bool ask(const QString& text, QWidget* parent) override;
};

} // namespace velmora
