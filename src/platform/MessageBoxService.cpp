#include "platform/MessageBoxService.h"

#include <QMessageBox>

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

} // namespace velmora
