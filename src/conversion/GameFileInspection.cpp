#include "conversion/GameFileInspection.h"

#include "conversion/GameFileLayout.h"
#include "conversion/ZlibStream.h"

#include <algorithm>

namespace velmora::conversion {

GameFileInfo inspectGameFile(std::span<const std::uint8_t> fileBytes)
{
    GameFileInfo info;
    info.fileSize = fileBytes.size();
    const auto at = [&](std::size_t i) -> std::uint8_t { return i < fileBytes.size() ? fileBytes[i] : 0; };

    info.hasLeadBytes = fileBytes.size() >= 3 &&
                        std::equal(kGameLeadBytes.begin(), kGameLeadBytes.end(), fileBytes.begin());
    info.hasMagic = fileBytes.size() >= kGameMagicOffset + kGameMagic.size() &&
                    std::equal(kGameMagic.begin(), kGameMagic.end(),
                               fileBytes.begin() + kGameMagicOffset);
    info.storedLength = static_cast<std::int32_t>(
        std::uint32_t(at(8)) | std::uint32_t(at(9)) << 8 | std::uint32_t(at(10)) << 16 |
        std::uint32_t(at(11)) << 24);
    info.firstConstant = static_cast<std::int16_t>(at(12) | at(13) << 8);
    info.secondConstant = static_cast<std::int16_t>(at(14) | at(15) << 8);

    // Unpack reads no further than its payload block; neither does this.
    std::span<const std::uint8_t> payload;
    if (fileBytes.size() > kGameHeaderSize)
        payload = fileBytes.subspan(kGameHeaderSize,
                                    std::min(fileBytes.size() - kGameHeaderSize, kGamePayloadBlockSize));
    InflateResult record = inflateZlibStream(payload);
    info.streamOk = record.status.ok;
    info.streamError = record.status.reason;
    if (!info.streamOk)
        return info;
    info.streamSize = record.consumed;
    info.recordSize = record.bytes.size();
    const auto& bytes = record.bytes;
    if (bytes.size() >= kTextureHeaderBlockSize) {
        std::array<std::uint8_t, kTextureHeaderBlockSize> header{};
        std::copy_n(bytes.begin(), kTextureHeaderBlockSize, header.begin());
        info.textureHeader = header;
    }
    if (bytes.size() > kRecordNameOffset)
        info.textureName.assign(bytes.begin() + kRecordNameOffset, bytes.end());
    if (bytes.size() > kRecordImageOffset)
        info.image = describeDds(std::span(bytes).subspan(kRecordImageOffset));
    return info;
}

}  // namespace velmora::conversion
