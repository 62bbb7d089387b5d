#include "base/LargeBuffers.h"
#include "cli/CommandLine.h"
#include "cli/Signals.h"
#include "workflows/WorkFiles.h"

#include <QCoreApplication>

#include <clocale>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include <unistd.h>

int main(int argc, char** argv) {
    velmora::conversion::preferLargePagesForBuffers();
    velmora::cli::removeWorkOnSignals();
    velmora::cli::keepWorkingWhenOutputCloses();
    // Qt's image plug-ins are QObjects that belong to the thread that loads them; with an
    // application object they are handed to the main thread, so none is left to a batch worker
    // that has ended (freed twice at exit otherwise). Qt sees only the program's name, and the
    // C locale is put back, so numbers print with a '.' whatever the environment says.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    const QCoreApplication application(qtArgc, qtArgv);
    std::setlocale(LC_ALL, locale.c_str());
    // "WE00" stands beside the binary, or in ../share/velmora when installed as a package.
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        self = std::filesystem::absolute(argv[0], error);
    velmora::cli::RunContext context;
    context.programFolder = velmora::conversion::dataFolder(self.parent_path());
    context.workingFolder = std::filesystem::current_path(error);
    context.progress = ::isatty(STDERR_FILENO) == 1;
    velmora::cli::CommandLine commandLine(std::move(context), std::cout, std::cerr);
    return commandLine.run(std::vector<std::string>(argv + 1, argv + argc));
}
