#include "TempFolder.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace velmora::test {

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "velmora-test.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a temporary folder: " +
                                 std::string(std::strerror(errno)));
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Permissions a test took away must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(m_path, ec);
}

} // namespace velmora::test
