#include "platform/MessageBoxService.h"
#include "windows/XpFrame.h"
#include "windows/frmMain.h"
#include "workflows/ImageInput.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <span>

namespace velmora {

namespace {

// The one local path a drag carries, or an empty string: several paths or a web address are
// not something either side can take.
QString droppedPath(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return {};
    }
    return urls.front().toLocalFile();
}

// The one local file a drag carries, or an empty string (a folder is no file).
QString droppedFile(const QMimeData* mime) {
    const QString path = droppedPath(mime);
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

// The one local folder a drag carries, or an empty string.
QString droppedFolder(const QMimeData* mime) {
    const QString path = droppedPath(mime);
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

bool within(const QWidget* side, const QWidget* target) {
    return side != nullptr && (side == target || side->isAncestorOf(target));
}

} // namespace

void frmMain::acceptFileDrops() {
    // A drop goes to the innermost widget that takes drops: each frame takes them, so the
    // window learns which side a file was dropped on.
    setAcceptDrops(true);
    installEventFilter(this);
    for (XpFrame* frame : m_frames) {
        frame->setAcceptDrops(true);
    }
    // The path boxes take dropped text themselves; a dropped file must reach their side.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const bool menu = m_context.openMenu && !droppedFolder(drag->mimeData()).isEmpty();
        if (droppedFile(drag->mimeData()).isEmpty() && !menu) {
            break;
        }
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        // A folder is a whole menu: it opens in the menu workspace.
        if (const QString folder = droppedFolder(drop->mimeData());
            !folder.isEmpty() && m_context.openMenu) {
            drop->acceptProposedAction();
            QTimer::singleShot(0, this, [this, folder] { m_context.openMenu(folder); });
            return true;
        }
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty() || !watched->isWidgetType()) {
            break;
        }
        drop->acceptProposedAction();
        // Taken after the drop has ended, so a message about the file does not hold up the
        // program it came from. The controls live as long as this window.
        const auto* target = static_cast<const QWidget*>(watched);
        QTimer::singleShot(0, this, [this, target, path] { dropFile(target, path); });
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::dropFile(const QWidget* target, const QString& path) {
    enum class Box { OpenBin, OpenDds, Unknown };
    Box box = Box::Unknown;
    if (within(frame(QStringLiteral("Unpack")), target)) {
        box = Box::OpenBin;
    } else if (within(frame(QStringLiteral("Pack")), target)) {
        box = Box::OpenDds;
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_context.messages->show(
                QStringLiteral("Velmora cannot read \"%1\": %2.").arg(path, file.errorString()),
                this);
            return;
        }
        const QByteArray head = file.read(64);
        const auto identity = conversion::identifyFile(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                          static_cast<std::size_t>(head.size())),
            static_cast<std::uint64_t>(file.size()));
        if (identity.kind == conversion::FileKind::GameFile) {
            box = Box::OpenBin;
        } else if (identity.kind != conversion::FileKind::Unknown ||
                   !QImageReader::imageFormat(path).isEmpty()) {
            // Pictures without a signature the core knows may still be ones the toolkit reads.
            box = Box::OpenDds;
        }
    }
    if (box == Box::Unknown) {
        m_context.messages->show(
            QStringLiteral("Velmora cannot tell what \"%1\" is. Drop a game file on the Unpack "
                           "side to unpack it, or a picture on the Pack side to pack it.")
                .arg(QFileInfo(path).fileName()),
            this);
        return;
    }
    // As if chosen with Browse, the next dialog opening in its folder.
    m_userFolder = QFileInfo(path).absolutePath();
    if (box == Box::OpenBin) {
        openBinChosen(path);
    } else {
        openDdsChosen(path);
    }
}

} // namespace velmora
