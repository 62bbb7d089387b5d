#include "gamefile/GameFileInspection.h"

#include "base/ByteOrder.h"
#include "base/GameFileLayout.h"
#include "gamefile/ZlibStream.h"
#include "io/FileIo.h"

#include <algorithm>

namespace velmora::conversion {

GameFileInfo inspectGameFile(std::span<const std::uint8_t> fileBytes,
                             std::vector<std::uint8_t>* kept) {
    GameFileInfo info;
    info.fileSize = fileBytes.size();

    // A file shorter than the header reads as if the rest were zeros.
    std::array<std::uint8_t, kGameHeaderSize> header{};
    std::copy_n(fileBytes.begin(), std::min(fileBytes.size(), header.size()), header.begin());
    info.hasLeadBytes = fileBytes.size() >= kGameLeadBytes.size() &&
                        std::equal(kGameLeadBytes.begin(), kGameLeadBytes.end(), header.begin());
    info.hasMagic =
        fileBytes.size() >= kGameMagicOffset + kGameMagic.size() &&
        std::equal(kGameMagic.begin(), kGameMagic.end(), header.begin() + kGameMagicOffset);
    info.storedLength = static_cast<std::int32_t>(readLe32(header, kStoredLengthOffset));
    info.firstConstant = static_cast<std::int16_t>(readLe16(header, kFirstConstantOffset));
    info.secondConstant = static_cast<std::int16_t>(readLe16(header, kSecondConstantOffset));

    // Unpack reads no further than its payload block; neither does this.
    std::span<const std::uint8_t> payload;
    if (fileBytes.size() > kGameHeaderSize)
        payload = fileBytes.subspan(
            kGameHeaderSize, std::min(fileBytes.size() - kGameHeaderSize, kGamePayloadBlockSize));
    info.record = inflateZlibStream(payload).map([kept](Inflated inflated) {
        RecordInfo record;
        record.streamSize = inflated.consumed;
        record.recordSize = inflated.bytes.size();
        const auto& bytes = inflated.bytes;
        if (bytes.size() >= kTextureHeaderBlockSize) {
            std::array<std::uint8_t, kTextureHeaderBlockSize> textureHeader{};
            std::copy_n(bytes.begin(), kTextureHeaderBlockSize, textureHeader.begin());
            record.textureHeader = textureHeader;
        }
        if (bytes.size() > kRecordNameOffset)
            record.textureName.assign(bytes.begin() + kRecordNameOffset, bytes.end());
        if (bytes.size() > kRecordImageOffset)
            record.image = describeDds(std::span(bytes).subspan(kRecordImageOffset));
        if (kept)
            *kept = std::move(inflated.bytes);
        return record;
    });
    return info;
}

Result<GameFileInfo, StepResult> inspectGameFileAt(const std::filesystem::path& gameFile) {
    auto block = readBlock(gameFile, 0, kGameHeaderSize + kGamePayloadBlockSize);
    if (!block)
        return stepFailed("Reading the game file", gameFile, block.error());
    if (block->fileSize < block->bytes.size())
        block->bytes.resize(static_cast<std::size_t>(block->fileSize));
    GameFileInfo info = inspectGameFile(block->bytes);
    info.fileSize = block->fileSize;
    return info;
}

} // namespace velmora::conversion
