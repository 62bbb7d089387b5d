#include "GameFiles.h"

#include "base/ByteOrder.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

namespace velmora::test {

Bytes plainTextureHeader() {
    Bytes header(48, 0);
    std::memcpy(header.data(), "WE00", 4);
    return header;
}

Bytes textureRecord(const Bytes& image, const std::string& textureName, const Bytes& header) {
    Bytes record = header;
    record.insert(record.end(), image.begin(), image.end());
    record.insert(record.end(), textureName.begin(), textureName.end());
    return record;
}

Bytes zlibStream(const Bytes& data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK) {
        throw std::runtime_error("zlib compress2 failed");
    }
    out.resize(size);
    return out;
}

Bytes gameFileAround(const Bytes& stream) {
    Bytes file{0x00, 0x01, 0x01, 'W', 'E', 'S', 'Y', 'S', 0, 0, 0, 0, 0xD0, 0x00, 0x40, 0x00};
    conversion::writeLe32(file, 8, static_cast<std::uint32_t>(stream.size() - 4));
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

namespace {

// Deflate's bit order (RFC 1951, 3.1.1): fields and extra bits lowest bit first, Huffman
// codes highest bit first.
class BitWriter {
  public:
    explicit BitWriter(Bytes& out) : m_out(out) {}

    void field(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            put((value >> i) & 1u);
        }
    }
    void code(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            put((code >> i) & 1u);
        }
    }
    // `count` zero bits, whole bytes at a time.
    void zeros(std::uint64_t count) {
        for (; count > 0 && m_used != 0; --count) {
            put(0);
        }
        m_out.resize(m_out.size() + static_cast<std::size_t>(count / 8), 0);
        for (count %= 8; count > 0; --count) {
            put(0);
        }
    }
    // Pads the last byte with zero bits.
    void flush() {
        if (m_used != 0) {
            m_out.push_back(m_byte);
            m_byte = 0;
            m_used = 0;
        }
    }

  private:
    void put(std::uint32_t bit) {
        m_byte = static_cast<std::uint8_t>(m_byte | bit << m_used);
        if (++m_used == 8) {
            flush();
        }
    }

    Bytes& m_out;
    std::uint8_t m_byte = 0;
    int m_used = 0;
};

} // namespace

Bytes zeroBombStream(std::uint64_t size) {
    if (size == 0) {
        throw std::invalid_argument("a zero bomb inflates to at least one byte");
    }
    Bytes out{0x78, 0x9C}; // zlib header: deflate, 32 KiB window, no dictionary
    BitWriter bits(out);
    bits.field(1, 1);         // the final block
    bits.field(2, 2);         // with dynamic Huffman codes
    bits.field(286 - 257, 5); // literal/length codes 0..285
    bits.field(2 - 1, 5);     // distance codes 0..1
    bits.field(18 - 4, 4);    // code-length code lengths given, in the order below

    // The code-length code: symbol 18 (a run of 11..138 zeros) "0", length 1 "10", length 2 "11".
    constexpr int kOrder[18] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1};
    for (int symbol : kOrder) {
        bits.field(symbol == 18 ? 1 : symbol == 1 || symbol == 2 ? 2 : 0, 3);
    }
    const auto zeroRun = [&](int count) {
        bits.code(0b0, 1);
        bits.field(static_cast<std::uint32_t>(count - 11), 7);
    };
    const auto lengthOne = [&] { bits.code(0b10, 2); };
    const auto lengthTwo = [&] { bits.code(0b11, 2); };
    // The literal/length code: 285 (length 258) "0", literal 0 "10", end of block "11".
    lengthTwo();  // literal 0
    zeroRun(138); // literals 1..138
    zeroRun(117); // literals 139..255
    lengthTwo();  // 256, end of block
    zeroRun(28);  // lengths 257..284
    lengthOne();  // 285, length 258
    // The distance code: 0 (distance 1) "0", 1 (distance 2) "1".
    lengthOne();
    lengthOne();

    // One literal zero, then copies of the 258 bytes before at distance 1: "0" and "0" each.
    bits.code(0b10, 2);
    bits.zeros((size - 1) / 258 * 2);
    for (std::uint64_t left = (size - 1) % 258; left > 0; --left) {
        bits.code(0b10, 2);
    }
    bits.code(0b11, 2);
    bits.flush();

    // Adler-32 of zeros: the byte sum stays 1, the sum of sums grows by 1 a byte.
    const std::uint32_t adler = static_cast<std::uint32_t>(size % 65521) << 16 | 1u;
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(adler >> shift));
    }
    return out;
}

} // namespace velmora::test
