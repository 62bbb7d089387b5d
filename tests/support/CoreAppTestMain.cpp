// The GoogleTest main for tests that run velmora-cli's commands in-process: a QCoreApplication,
// as velmora-cli's own main makes, so Qt's image plug-ins are loaded for the main thread, and
// the C locale put back afterwards, so numbers print with a '.'.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <string>

int main(int argc, char** argv) {
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    QCoreApplication application(argc, argv);
    std::setlocale(LC_ALL, locale.c_str());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
