#include "platform/ShellService.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <memory>

namespace velmora {

QUrl shellTargetUrl(const QString& target) {
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return QUrl();
    const QFileInfo file(QString(trimmed).replace(u'\\', u'/'));
    if (file.exists())
        return QUrl::fromLocalFile(file.absoluteFilePath());
    const QUrl url(trimmed);
    // A one-letter scheme would be a drive letter, not a scheme.
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromUserInput(trimmed);
}

bool DesktopShellService::ShellOpen(const QString& target) {
    const QUrl url = shellTargetUrl(target);
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

void DesktopShellService::ShellOpenWatched(const QString& target, QObject* receiver,
                                           std::function<void(bool opened)> done) {
    const QUrl url = shellTargetUrl(target);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!url.isValid() || opener.isEmpty()) {
        done(false);
        return;
    }
    // Owned by the application, not the receiver: xdg-open may wait for the browser it started
    // to close, and closing the window must not kill it.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    // Its messages (and the browser's) go where ours go, not into a buffer nobody reads.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    // Told once: a failed start reports an error and no exit.
    auto report = std::make_shared<std::function<void(bool)>>(std::move(done));
    const auto tell = [report](bool opened) {
        if (*report) {
            const auto once = std::move(*report);
            *report = nullptr;
            once(opened);
        }
    };
    QObject::connect(process, &QProcess::finished, receiver,
                     [tell](int code, QProcess::ExitStatus status) {
                         tell(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, receiver,
                     [tell](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             tell(false);
                     });
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             process->deleteLater();
                     });
    process->start();
}

void QtClipboardService::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

} // namespace velmora
