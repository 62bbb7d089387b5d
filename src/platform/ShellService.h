#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

namespace velmora {

// Opens a document, web address or "mailto:" target in the user's default application.
class ShellService {
  public:
    virtual ~ShellService() = default;
    // Returns whether the target was handed on; an empty target opens nothing.
    virtual bool ShellOpen(const QString& target) = 0;
    // Opens the target and tells `done` whether it was opened, once that is known: possibly
    // before this returns, else later from the event loop, and never after `receiver` is gone.
    virtual void ShellOpenWatched(const QString& target, QObject* receiver,
                                  std::function<void(bool opened)> done) {
        (void)receiver;
        done(ShellOpen(target));
    }
};

// What ShellOpen hands to the desktop for a target: an existing local file as a file URL, a
// target with a scheme ("mailto:", "https:") as it stands, anything else read as the user would
// type it into a browser. Invalid (empty) for an empty target.
QUrl shellTargetUrl(const QString& target);

// Through QDesktopServices. A target without a scheme is read as a local file when it names an
// existing one, otherwise as a web address ("www.example.com").
class DesktopShellService final : public ShellService {
  public:
    bool ShellOpen(const QString& target) override;
    // Runs xdg-open and waits for its exit status without blocking: QDesktopServices reports
    // success as soon as xdg-open starts, even when it then finds no browser. Not opened when
    // there is no xdg-open or it exits with failure.
    void ShellOpenWatched(const QString& target, QObject* receiver,
                          std::function<void(bool opened)> done) override;
};

// The text clipboard of the desktop.
class ClipboardService {
  public:
    virtual ~ClipboardService() = default;
    virtual void setText(const QString& text) = 0;
};

class QtClipboardService final : public ClipboardService {
  public:
    void setText(const QString& text) override;
};

} // namespace velmora
