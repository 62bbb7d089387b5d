#include "app/Startup.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    velmora::quitOnTerminationSignals();
    const auto program = velmora::startProgram(QCoreApplication::arguments());
    if (const int status = velmora::terminationStatus())
        return status;
    return QApplication::exec();
}
