#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

namespace velmora::test {

// An uncompressed 1024 × 1024 B8G8R8A8 DDS image with a recognisable pattern, the kind the
// game takes: 128 bytes of header and 4,194,304 bytes of pixels.
inline QByteArray makeDdsImage(std::uint8_t seed) {
    QByteArray bytes(128 + 1024 * 1024 * 4, '\0');
    auto put = [&bytes](int at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    bytes.replace(0, 4, "DDS ");
    put(4, 124);          // header size
    put(8, 0x100F);       // caps, height, width, pitch, pixel format
    put(12, 1024);        // height
    put(16, 1024);        // width
    put(20, 4096);        // pitch
    put(76, 32);          // pixel format size
    put(80, 0x41);        // RGB with alpha
    put(88, 32);          // bits per pixel
    put(92, 0x00FF0000);  // red
    put(96, 0x0000FF00);  // green
    put(100, 0x000000FF); // blue
    put(104, 0xFF000000); // alpha
    put(108, 0x1000);     // texture
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
