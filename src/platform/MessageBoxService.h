#pragma once

#include <QString>

#include <functional>

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
    // A question with a third button, `showCaption`, that runs `show` and leaves the question
    // open, to look at something before answering. True for Yes.
    virtual bool askWithShow(const QString& text, const QString& showCaption,
                             const std::function<void()>& show, QWidget* parent) = 0;
};

class QtMessageBoxService final : public MessageBoxService {
  public:
    void show(const QString& text, QWidget* parent) override;
    bool ask(const QString& text, QWidget* parent) override;
    bool askWithShow(const QString& text, const QString& showCaption,
                     const std::function<void()>& show, QWidget* parent) override;
};

} // namespace velmora
