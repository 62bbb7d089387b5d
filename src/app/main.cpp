#include "app/Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const auto program = velmora::startProgram(QCoreApplication::arguments());
    return QApplication::exec();
}
