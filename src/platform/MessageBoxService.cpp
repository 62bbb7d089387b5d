#include "platform/MessageBoxService.h"

#include <QMessageBox>
#include <QPushButton>

namespace velmora {

void QtMessageBoxService::show(const QString& text, QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtMessageBoxService::ask(const QString& text, QWidget* parent) {
    QMessageBox box(QMessageBox::Question, caption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtMessageBoxService::askWithShow(const QString& text, const QString& showCaption,
                                      const std::function<void()>& show, QWidget* parent) {
    QMessageBox box(QMessageBox::Question, caption(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    // Modal to its own window only, so that what Show opens can be looked at (zoomed, its
    // views switched) while the question waits.
    box.setWindowModality(Qt::WindowModal);
    QPushButton* showButton = box.addButton(showCaption, QMessageBox::ActionRole);
    // Every button of a message box closes it; this one is taken off the box's own handling.
    showButton->disconnect();
    QObject::connect(showButton, &QPushButton::clicked, &box, [&show] { show(); });
    return box.exec() == QMessageBox::Yes;
}

} // namespace velmora
