#pragma once

#include "base/Result.h"

#include <filesystem>

namespace velmora::conversion {

// The file-to-file compression service the workflows drive: set InputPath, then OutputPath,
// then call one method. A method returns only after its output file is complete and closed.
class CompressionComponent {
  public:
    virtual ~CompressionComponent() = default;

    void InputPath(const std::filesystem::path& path) { m_inputPath = path; }
    void OutputPath(const std::filesystem::path& path) { m_outputPath = path; }
    const std::filesystem::path& InputPath() const { return m_inputPath; }
    const std::filesystem::path& OutputPath() const { return m_outputPath; }

    // Reads the whole input and leaves exactly one zlib stream at the output path.
    virtual Result<> CompressFile() = 0;
    // Inflates the one stream at the start of the input, ignoring whatever follows it.
    virtual Result<> UncompressFile() = 0;

  private:
    std::filesystem::path m_inputPath;
    std::filesystem::path m_outputPath;
};

} // namespace velmora::conversion
