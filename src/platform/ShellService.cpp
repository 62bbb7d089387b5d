#include "platform/ShellService.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

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

} // namespace velmora
