#include "platform/MessageBoxService.h"

#include <QMessageBox>

namespace velmora {

void QtMessageBoxService::show(const QString& text, QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace velmora
