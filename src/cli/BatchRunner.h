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
    std::vector<std::string> inputs; // files, or folders whose regular files are taken
    std::string toFolder;
    bool png = false;                 // unpack: PNG instead of DDS
    std::string mode;                 // pack: the mode for every image, empty: per image
    std::string like;                 // pack: original game file or folder of them
    std::filesystem::path headerFile; // pack with a mode: the texture header
    bool fit = false;
    unsigned jobs = 0; // 0: the number of cores
};

// Returns the exit status: 0 all written, 1 some failed, 2 a usage error found before starting.
int runBatch(const BatchRequest& request, std::ostream& out, std::ostream& err);

} // namespace velmora::cli
