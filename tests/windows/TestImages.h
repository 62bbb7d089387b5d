#pragma once

#include "conversion/DdsImageCheck.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velmora::test {

// An uncompressed 1024 × 1024 B8G8R8A8 DDS image with a recognisable pattern, the kind the
// game takes: 128 bytes of header and 4,194,304 bytes of pixels.
inline QByteArray makeDdsImage(std::uint8_t seed) {
    const std::vector<std::uint8_t> header = conversion::makeDdsHeader();
    QByteArray bytes(128 + 1024 * 1024 * 4, '\0');
    std::copy(header.begin(), header.end(), bytes.begin());
    for (int i = 128; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i / 4096 + i % 251 + seed) & 0xFF);
    }
    return bytes;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace velmora::test
