#include "cli/PrivateWorkFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace velmora::cli {

PrivateWorkFolder::PrivateWorkFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        base = "/tmp";
    std::string pattern = (base / "velmora-cli-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        m_error =
            "cannot create a work folder in " + base.string() + " (" + std::strerror(errno) + ")";
        return;
    }
    m_path = buffer.data();
}

PrivateWorkFolder::~PrivateWorkFolder() {
    if (m_path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace velmora::cli
