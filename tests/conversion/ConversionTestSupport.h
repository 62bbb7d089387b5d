#pragma once

#include "conversion/DdsImageCheck.h"

#include "conversion/CompressionComponent.h"
#include "conversion/StepResult.h"
#include "conversion/GameFileLayout.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder per test, removed afterwards, so no test sees another's files.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        m_path = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const std::filesystem::path& path, const std::string& text)
{
    writeFile(path, Bytes(text.begin(), text.end()));
}

inline Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string readText(const std::filesystem::path& path)
{
    const Bytes bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

inline std::set<std::string> fileNames(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

inline void putU32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint32_t getU32(const Bytes& bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// The 128-byte header of an uncompressed B8G8R8A8 DDS image.
inline Bytes ddsHeader(std::uint32_t width = 1024, std::uint32_t height = 1024)
{
    return conversion::makeDdsHeader(width, height);
}

// A usable image whose pixels depend on `seed`, so two images differ and compress well.
inline Bytes validImage(std::uint32_t seed = 1)
{
    Bytes image = ddsHeader();
    image.resize(conversion::kImageBlockSize);
    for (std::size_t i = 128; i < image.size(); ++i) {
        const std::size_t pixel = (i - 128) / 4;
        image[i] = static_cast<std::uint8_t>(((pixel % 1024) / 16 + (pixel / 1024) / 16 * seed + i % 4) & 0xFF);
    }
    return image;
}

// Stands in for the compression component: records the paths it was given and answers
// with a fixed status, optionally leaving fixed bytes at the output path.
class FakeComponent final : public conversion::CompressionComponent {
public:
    conversion::Result<> answer;
    std::optional<Bytes> output;
    int compressCalls = 0;
    int uncompressCalls = 0;
    std::filesystem::path seenInput;
    std::filesystem::path seenOutput;

    conversion::Result<> CompressFile() override { ++compressCalls; return respond(); }
    conversion::Result<> UncompressFile() override { ++uncompressCalls; return respond(); }

private:
    conversion::Result<> respond()
    {
        seenInput = InputPath();
        seenOutput = OutputPath();
        if (answer && output)
            writeFile(OutputPath(), *output);
        return answer;
    }
};

// The one line a failed step or run shows; empty when it succeeded.
template <typename T>
std::string failureText(const conversion::Result<T, conversion::StepResult>& result)
{
    return result ? std::string() : result.error().message();
}

}  // namespace velmora::test
