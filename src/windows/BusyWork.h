#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QProgressDialog>
#include <QTimer>

#include <optional>
#include <thread>
#include <utility>

class QWidget;

namespace velmora {

// Runs `work` on a thread of its own while the window keeps painting: a busy cursor at once,
// a progress bar when it takes longer than half a second. User input waits until the work is
// done, so nothing can start a second run meanwhile.
template <typename Work>
auto runWhileBusy(QWidget* window, const QString& label, Work&& work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    QEventLoop loop;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QProgressDialog progress(label, QString(), 0, 0, window);
    progress.setWindowTitle(QStringLiteral("Velmora"));
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(0);
    progress.reset(); // a new dialog shows itself; it waits for the timer instead
    QTimer::singleShot(500, &progress, [&progress] { progress.show(); });
    std::thread worker([&] {
        result.emplace(work());
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    progress.hide();
    QApplication::restoreOverrideCursor();
    return std::move(*result);
}

} // namespace velmora
