#pragma once

// The file helpers for tests that name their files with QString and hold bytes in QByteArray.
#include "FileHelpers.h"

#include <QByteArray>
#include <QString>

#include <exception>

namespace velmora::test {

inline QByteArray asQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// False when the file cannot be written whole.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    try {
        writeFile(std::filesystem::path(path.toStdString()),
                  std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                            static_cast<std::size_t>(bytes.size())));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The whole file; empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
    return asQByteArray(readFile(std::filesystem::path(path.toStdString())));
}

} // namespace velmora::test
