#pragma once

#include "workflows/CompressionComponent.h"

namespace velmora::conversion {

// The compression component on libdeflate, reading and writing standard zlib streams.
class DeflateCompressionComponent final : public CompressionComponent {
  public:
    Result<> CompressFile() override;
    Result<> UncompressFile() override;

    // Level of the last stream CompressFile wrote (0 before the first).
    int lastLevel() const { return m_lastLevel; }

  private:
    int m_lastLevel = 0;
};

} // namespace velmora::conversion
