#include "app/Startup.h"
#include "base/LargeBuffers.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

int main(int argc, char** argv) {
    velmora::conversion::preferLargePagesForBuffers();
    QApplication app(argc, argv);
    velmora::quitOnTerminationSignals();
    const auto program = velmora::startProgram(QCoreApplication::arguments());
    if (const int status = velmora::terminationStatus())
        return status;
    return QApplication::exec();
}
