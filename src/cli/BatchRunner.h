#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace velmora::cli {

// The batch form: many inputs, each converted on its own into DIR/<input stem>.<ext>, in
// parallel. One failing input does not stop the others.
struct BatchRequest {
    bool pack = false;
    std::vector<std::filesystem::path> inputs; // files, or folders whose regular files are taken
    std::filesystem::path toFolder;
    bool png = false;                 // unpack: PNG instead of DDS
    std::string mode;                 // pack: the mode for every image, empty: per image
    std::filesystem::path like;       // pack: original game file or folder of them, or empty
    std::filesystem::path headerFile; // pack by mode or file name: the texture header
    bool fit = false;
    unsigned jobs = 0;     // 0: the number of cores
    bool progress = false; // show "[done/all] name" on err, which is a terminal
};

// Returns the exit status: 0 all written, 1 some failed, 2 a usage error found before starting.
int runBatch(const BatchRequest& request, std::ostream& out, std::ostream& err);

} // namespace velmora::cli
