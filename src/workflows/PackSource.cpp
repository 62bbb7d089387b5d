#include "workflows/PackSource.h"

#include "base/GameFileLayout.h"
#include "gamefile/GameFileVerification.h"
#include "workflows/Workflows.h"

#include <algorithm>

namespace velmora::conversion {

std::filesystem::path likeFileFor(const std::filesystem::path& like,
                                  const std::filesystem::path& picture) {
    std::error_code error;
    if (!std::filesystem::is_directory(like, error))
        return like;
    const auto withBin = like / (picture.stem().string() + ".bin");
    if (std::filesystem::exists(withBin, error))
        return withBin;
    return like / picture.stem();
}

Result<OriginalGameFile> readOriginalGameFile(const std::filesystem::path& original) {
    auto check = checkGameFile(original);
    if (!check)
        return fail(check.error());
    if (check->record.size() <= kRecordNameOffset) {
        const std::string finding =
            check->findings.empty() ? "it holds no texture record" : check->findings.front();
        return fail(ErrorKind::Damaged, finding);
    }
    OriginalGameFile file;
    file.textureName = check->textureName;
    std::copy_n(check->record.begin(), file.textureHeader.size(), file.textureHeader.begin());
    return file;
}

} // namespace velmora::conversion
