#pragma once

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <optional>
#include <thread>
#include <utility>

class QWidget;

namespace velmora {

namespace busy {

// Swallows the user's input to every window but the progress dialog, so nothing can start a
// second run meanwhile, while the dialog's Cancel still takes clicks and Escape.
class InputGate final : public QObject {
  public:
    explicit InputGate(const QWidget* open) : m_open(open) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            // Input reaches the window system's window first, then the widget in it.
            if (const auto* window = qobject_cast<const QWindow*>(watched))
                return window != m_open->windowHandle();
            if (const auto* widget = qobject_cast<const QWidget*>(watched))
                return widget->window() != m_open;
            return false;
        default:
            return false;
        }
    }

  private:
    const QWidget* m_open;
};

} // namespace busy

// Runs `work` on a thread of its own while the window keeps painting: a busy cursor at once,
// a progress bar when it takes longer than half a second. User input waits until the work is
// done, so nothing can start a second run meanwhile. With `stop`, the progress has a Cancel
// button that raises it; the work is expected to end soon after, and is waited for.
template <typename Work>
auto runWhileBusy(QWidget* window, const QString& label, Work&& work,
                  std::atomic<bool>* stop = nullptr) -> decltype(work()) {
    std::optional<decltype(work())> result;
    QEventLoop loop;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QProgressDialog progress(label, QString(), 0, 0, window);
    progress.setObjectName(QStringLiteral("busyProgress"));
    progress.setWindowTitle(QStringLiteral("Velmora"));
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    if (stop != nullptr) {
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), &progress);
        progress.setCancelButton(cancel);
        QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&progress, stop] {
            stop->store(true);
            progress.setLabelText(QStringLiteral("Cancelling..."));
            // The dialog stays up until the work has stopped; it hides itself on cancel.
            progress.show();
        });
    } else {
        progress.setCancelButton(nullptr);
    }
    progress.setMinimumDuration(0);
    progress.reset(); // a new dialog shows itself; it waits for the timer instead
    QTimer::singleShot(500, &progress, [&progress] { progress.show(); });
    busy::InputGate gate(&progress);
    qApp->installEventFilter(&gate);
    std::thread worker([&] {
        result.emplace(work());
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    qApp->removeEventFilter(&gate);
    progress.hide();
    QApplication::restoreOverrideCursor();
    return std::move(*result);
}

} // namespace velmora
