#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmora::images {

// Qt's readers fill in whatever a cut file lacks (black rows, a grey half) and report success, so
// each format's own structure is checked before a picture is trusted: the bytes its header
// promises are there, or its stream reaches its end marker. Returns why the file is not whole,
// or nothing. `format` is the name identifyFile gives ("BMP", "JPEG", ...); formats without a
// check pass.
std::optional<std::string> whyNotWhole(std::string_view format, std::span<const std::uint8_t> file);

// The same for what a reader reads to describe a picture, the part before its pixels.
std::optional<std::string> whyHeaderDamaged(std::string_view format,
                                            std::span<const std::uint8_t> file);

} // namespace velmora::images
