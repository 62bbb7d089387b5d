// The preview of the file a path box names: double-click the box, or "Preview" in its menu.
#include "windows/PreviewWindow.h"
#include "windows/frmMain.h"

#include <QEvent>
#include <QLineEdit>
#include <QMenu>

namespace velmora {

namespace {

// Double-clicks on a box; the box itself still selects the word under the pointer.
class DoubleClickFilter final : public QObject {
  public:
    DoubleClickFilter(QObject* parent, std::function<void()> onDoubleClick)
        : QObject(parent), m_onDoubleClick(std::move(onDoubleClick)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick)
            m_onDoubleClick();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> m_onDoubleClick;
};

} // namespace

void frmMain::offerPreview(QLineEdit* box) {
    box->installEventFilter(new DoubleClickFilter(box, [this, box] { showPreview(*box); }));
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QLineEdit::customContextMenuRequested, this, [this, box](const QPoint& where) {
        // The box's own entries (undo, cut, copy, paste...) and the preview after them.
        QMenu* menu = box->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addSeparator();
        menu->addAction(QStringLiteral("Preview"), this, [this, box] { showPreview(*box); });
        menu->popup(box->mapToGlobal(where));
    });
}

PreviewWindow& frmMain::previewOpened() {
    if (!m_preview) {
        // A window of its own, not this one's child: a question this window asks (the fit's)
        // blocks this window and its children, and the preview must stay usable meanwhile.
        // It closes with this window and never keeps the program running alone.
        m_preview = new PreviewWindow(nullptr);
        m_preview->setAttribute(Qt::WA_QuitOnClose, false);
        m_preview->setWindowIcon(windowIcon());
        m_preview->placeBeside(*this);
    }
    return *m_preview;
}

void frmMain::showPreview(QLineEdit& box) {
    PreviewWindow& preview = previewOpened();
    // Relative paths are taken from the user's folder, as Unpack and Pack take them.
    preview.follow(&box, [this](const QString& text) { return userPath(text); });
    preview.show();
    preview.raise();
    preview.activateWindow();
}

void frmMain::showPicture(const QImage& image, const QString& name, const QString& facts) {
    PreviewWindow& preview = previewOpened();
    preview.showPicture(image, name, facts);
    preview.show();
    preview.raise();
}

} // namespace velmora
