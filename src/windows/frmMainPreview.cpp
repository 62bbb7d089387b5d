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

void frmMain::showPreview(QLineEdit& box) {
    if (!m_preview) {
        m_preview = new PreviewWindow(this);
        m_preview->placeBeside(*this);
    }
    // Relative paths are taken from the user's folder, as Unpack and Pack take them.
    m_preview->follow(&box, [this](const QString& text) { return userPath(text); });
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

} // namespace velmora
