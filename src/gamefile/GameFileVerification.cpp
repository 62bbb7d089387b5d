#include "gamefile/GameFileVerification.h"

#include "base/ByteOrder.h"
#include "base/Formatting.h"
#include "base/GameFileLayout.h"
#include "formats/DdsImageCheck.h"
#include "gamefile/ZlibStream.h"
#include "io/FileIo.h"

#include <algorithm>

namespace velmora::conversion {

GameFileCheck checkGameFile(std::span<const std::uint8_t> bytes, std::uint64_t fileSize) {
    GameFileCheck check;
    auto& findings = check.findings;
    if (fileSize != kGameFileSize)
        findings.push_back("the file is " + groupedNumber(fileSize) + " bytes; a game file is " +
                           groupedNumber(kGameFileSize));
    if (bytes.size() < kGameHeaderSize) {
        findings.push_back("the file is shorter than the 16-byte game header");
        return check;
    }
    if (!std::equal(kGameLeadBytes.begin(), kGameLeadBytes.end(), bytes.begin()))
        findings.push_back("the lead bytes are not 00 01 01");
    if (!std::equal(kGameMagic.begin(), kGameMagic.end(), bytes.begin() + kGameMagicOffset))
        findings.push_back("the magic \"WESYS\" is missing");
    const auto first = static_cast<std::int16_t>(readLe16(bytes, kFirstConstantOffset));
    const auto second = static_cast<std::int16_t>(readLe16(bytes, kSecondConstantOffset));
    if (first != kFirstHeaderConstant || second != kSecondHeaderConstant)
        findings.push_back("the constants are " + std::to_string(first) + ", " +
                           std::to_string(second) + "; a game file has 208, 64");
    const auto stored = static_cast<std::int32_t>(readLe32(bytes, kStoredLengthOffset));

    auto inflated = inflateZlibStream(bytes.subspan(kGameHeaderSize));
    if (!inflated) {
        findings.push_back("the stream does not inflate: " + inflated.error().reason);
        return check;
    }
    const auto streamSize = static_cast<std::int64_t>(inflated->consumed);
    if (stored != streamSize - kStoredLengthBias)
        findings.push_back("the stored length is " + std::to_string(stored) + "; the stream is " +
                           std::to_string(streamSize) + " bytes, so it should be " +
                           std::to_string(streamSize - kStoredLengthBias));
    check.record = std::move(inflated->bytes);
    const std::span<const std::uint8_t> record(check.record);
    if (record.size() <= kRecordNameOffset) {
        findings.push_back("the record is " + groupedNumber(record.size()) +
                           " bytes; it needs 4,194,480 and a texture name");
        return check;
    }
    check.textureName.assign(record.begin() + kRecordNameOffset, record.end());
    const auto block = record.subspan(kRecordImageOffset, kImageBlockSize);
    const DdsSummary image = describeDds(block);
    // Uncompressed RGB of 32 bits a pixel, whatever the channel order.
    constexpr std::size_t kPixelFlagsOffset = 80;
    constexpr std::size_t kBitCountOffset = 88;
    constexpr std::uint32_t kRgbFlag = 0x40;
    const bool rgb32 = image.isDds && (readLe32(block, kPixelFlagsOffset) & kRgbFlag) != 0 &&
                       readLe32(block, kBitCountOffset) == 32;
    if (!rgb32 || image.width != 1024 || image.height != 1024)
        findings.push_back("the image block is not a 1024x1024 32-bit image" +
                           (image.isDds ? " (it is " + sizeText(image.width, image.height) + " " +
                                              image.pixelFormat + ")"
                                        : std::string()));
    return check;
}

Result<GameFileCheck> checkGameFile(const std::filesystem::path& path) {
    // One byte past a game file's size, so a longer file is told apart without reading it all.
    const auto block = readBlock(path, 0, kGameFileSize);
    if (!block)
        return fail(block.error());
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(block->fileSize, block->bytes.size()));
    return checkGameFile(std::span(block->bytes).first(size), block->fileSize);
}

Result<> verifyWrittenGameFile(const std::filesystem::path& written,
                               std::span<const std::uint8_t> record) {
    const auto check = checkGameFile(written);
    if (!check)
        return fail(ErrorKind::WriteFailed,
                    "the written game file cannot be read back (" + check.error().reason + ")");
    if (!check->findings.empty())
        return fail(ErrorKind::WriteFailed,
                    "the written game file is wrong: " + check->findings.front());
    if (!std::equal(record.begin(), record.end(), check->record.begin(), check->record.end()))
        return fail(ErrorKind::WriteFailed,
                    "the written game file does not hold the record that was compressed");
    return {};
}

} // namespace velmora::conversion
