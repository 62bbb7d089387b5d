#include "formats/TgaReader.h"

#include "base/ByteOrder.h"
#include "base/Formatting.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace velmora::conversion {

namespace {

constexpr std::size_t kFooterSize = 26;
constexpr std::string_view kFooterSignature("TRUEVISION-XFILE.\0", 18);
constexpr std::size_t kExtensionSize = 495;
constexpr std::size_t kAlphaTypeOffset = 494;
constexpr std::uint32_t kMaxRunLength = 128;

constexpr const char* kSaveAgain = "save it again as a 32-bit TGA or as a PNG";
constexpr const char* kCutShort = ": it was cut short; save it again";

enum class Colour { Mapped, True, Grey };
enum class Alpha { None, Straight, Premultiplied };

struct Header {
    std::uint8_t idLength = 0;
    std::uint8_t mapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t depth = 0;
    std::uint8_t descriptor = 0;
};

Header headerOf(std::span<const std::uint8_t> head) {
    Header h;
    h.idLength = head[0];
    h.mapType = head[1];
    h.imageType = head[2];
    h.mapFirst = readLe16(head, 3);
    h.mapLength = readLe16(head, 5);
    h.mapBits = head[7];
    h.width = readLe16(head, 12);
    h.height = readLe16(head, 14);
    h.depth = head[16];
    h.descriptor = head[17];
    return h;
}

bool knownType(std::uint8_t type) {
    return (type >= 1 && type <= 3) || (type >= 9 && type <= 11);
}

Colour colourOf(std::uint8_t type) {
    switch (type & 7) {
    case 1:
        return Colour::Mapped;
    case 2:
        return Colour::True;
    default:
        return Colour::Grey;
    }
}

unsigned bytesOf(unsigned bits) {
    return (bits + 7) / 8;
}

bool depthFits(Colour colour, unsigned depth) {
    switch (colour) {
    case Colour::Mapped:
    case Colour::Grey:
        return depth == 8 || depth == 16;
    case Colour::True:
        return depth == 15 || depth == 16 || depth == 24 || depth == 32;
    }
    return false;
}

bool mapBitsKnown(unsigned bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// Where the pixels start: after the header, the image ID and the colour map (which a
// true-colour or greyscale picture may carry too, unused).
std::uint64_t pixelOffset(const Header& h) {
    const std::uint64_t map = h.mapType == 1 ? std::uint64_t{h.mapLength} * bytesOf(h.mapBits) : 0;
    return kTgaHeaderSize + h.idLength + map;
}

bool hasFooter(std::span<const std::uint8_t> file) {
    if (file.size() < kTgaHeaderSize + kFooterSize)
        return false;
    const auto tail = file.last(kFooterSignature.size());
    return std::equal(kFooterSignature.begin(), kFooterSignature.end(), tail.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// The extension area's alpha type, or -1 when the file has none (or one that does not fit).
int extensionAlphaType(std::span<const std::uint8_t> file) {
    if (!hasFooter(file))
        return -1;
    const std::size_t footer = file.size() - kFooterSize;
    const std::uint32_t offset = readLe32(file, footer);
    if (offset < kTgaHeaderSize || offset > footer || footer - offset < kExtensionSize ||
        readLe16(file, offset) < kExtensionSize)
        return -1;
    return file[offset + kAlphaTypeOffset];
}

// ---- What the file holds ------------------------------------------------------------------

struct Plan {
    Header header;
    Colour colour = Colour::True;
    bool rle = false;
    unsigned pixelBytes = 4;
    unsigned valueBits = 32; // bits of one colour: the pixel's, or a colour-map entry's
    Alpha alpha = Alpha::None;
    std::size_t mapOffset = 0;
    std::size_t dataOffset = 0;
    std::size_t dataEnd = 0; // before the TGA 2.0 footer, when there is one
    TgaLayout layout;
};

Alpha alphaOf(const Header& h, unsigned valueBits, Colour colour, int extensionType) {
    const unsigned attributeBits = h.descriptor & 0x0F;
    const bool carries = colour == Colour::Grey ? valueBits == 16 && attributeBits != 0
                         : valueBits == 32      ? attributeBits != 0
                         : valueBits == 16      ? attributeBits == 1
                                                : false;
    if (!carries)
        return Alpha::None;
    // An extension area may say that the bits are not alpha after all.
    if (extensionType >= 0 && extensionType <= 2)
        return Alpha::None;
    return extensionType == 4 ? Alpha::Premultiplied : Alpha::Straight;
}

std::string colourText(const Plan& plan) {
    const Header& h = plan.header;
    const std::string alphaText = plan.alpha == Alpha::Premultiplied ? " with premultiplied alpha"
                                  : plan.alpha == Alpha::Straight    ? " with alpha"
                                                                     : "";
    const auto trueColour = [&](unsigned bits) -> std::string {
        switch (bits) {
        case 15:
            return "15-bit true colour 5-5-5";
        case 16:
            return plan.alpha == Alpha::None ? "16-bit true colour 5-5-5"
                                             : "16-bit true colour 5-5-5" + alphaText + " bit";
        case 24:
            return "24-bit true colour (bytes B,G,R)";
        default:
            return plan.alpha == Alpha::None
                       ? "32-bit true colour, fourth byte not alpha"
                       : "32-bit true colour" + alphaText + " (bytes B,G,R,A)";
        }
    };
    switch (plan.colour) {
    case Colour::Mapped:
        return std::to_string(h.depth) + "-bit colour-mapped, " + std::to_string(h.mapLength) +
               " colours of " + trueColour(h.mapBits);
    case Colour::Grey:
        return h.depth == 8 ? "8-bit greyscale"
                            : "16-bit greyscale" + (plan.alpha == Alpha::None
                                                        ? std::string(", second byte not alpha")
                                                        : alphaText);
    case Colour::True:
        break;
    }
    return trueColour(h.depth);
}

std::string originText(const Header& h) {
    return std::string("origin ") + ((h.descriptor & 0x20) ? "top" : "bottom") +
           ((h.descriptor & 0x10) ? "-right" : "-left");
}

Result<Plan> analyse(std::span<const std::uint8_t> file) {
    if (file.size() < kTgaHeaderSize)
        return fail(ErrorKind::Damaged, "the file is " + groupedNumber(file.size()) +
                                            " bytes, shorter than the 18-byte TGA header" +
                                            kCutShort);
    Plan plan;
    const Header& h = plan.header = headerOf(file);
    if (h.mapType > 1)
        return fail(ErrorKind::Damaged, "it is not a valid TGA picture: its colour-map type is " +
                                            std::to_string(h.mapType) + ", not 0 or 1; " +
                                            kSaveAgain);
    if (!knownType(h.imageType))
        return fail(ErrorKind::Unsupported,
                    "it is a TGA picture of image type " + std::to_string(h.imageType) +
                        "; Velmora reads types 1-3 and 9-11 (colour-mapped, true colour, "
                        "greyscale, uncompressed or RLE): " +
                        kSaveAgain);
    plan.colour = colourOf(h.imageType);
    plan.rle = h.imageType >= 9;
    if (plan.colour == Colour::Mapped && (h.mapType != 1 || h.mapLength == 0))
        return fail(ErrorKind::Damaged,
                    std::string("it is not a valid TGA picture: it is colour-mapped but has no "
                                "colour map; ") +
                        kSaveAgain);
    if (h.mapType == 1 && !mapBitsKnown(h.mapBits))
        return fail(ErrorKind::Unsupported,
                    "it is a TGA picture whose colour map has " + std::to_string(h.mapBits) +
                        "-bit entries; Velmora reads 15-, 16-, 24- and 32-bit ones: " + kSaveAgain);
    if (!depthFits(plan.colour, h.depth))
        return fail(ErrorKind::Unsupported,
                    "it is a TGA picture of type " + std::to_string(h.imageType) + " with " +
                        std::to_string(h.depth) +
                        "-bit pixels, which Velmora does not read: " + kSaveAgain);
    if (h.width == 0 || h.height == 0)
        return fail(ErrorKind::Damaged, "it is not a valid TGA picture: its header gives a size "
                                        "of " +
                                            sizeText(h.width, h.height) + "; " + kSaveAgain);
    if (h.width > kTgaMaxSide || h.height > kTgaMaxSide)
        return fail(ErrorKind::Unsupported, "it is a TGA picture of " +
                                                sizeText(h.width, h.height) +
                                                ", far larger than the game's 1024x1024 tile: "
                                                "resize it in your editor");
    if (h.descriptor & 0xC0)
        return fail(ErrorKind::Unsupported,
                    std::string("it is a TGA picture with interleaved rows, which Velmora does not "
                                "read: ") +
                        kSaveAgain);

    plan.pixelBytes = bytesOf(h.depth);
    plan.valueBits = plan.colour == Colour::Mapped ? h.mapBits : h.depth;
    plan.alpha = alphaOf(h, plan.valueBits, plan.colour, extensionAlphaType(file));
    plan.mapOffset = kTgaHeaderSize + h.idLength;
    const std::uint64_t dataOffset = pixelOffset(h);
    if (dataOffset > file.size())
        return fail(ErrorKind::Damaged, "the file is " + groupedNumber(file.size()) +
                                            " bytes, shorter than its TGA header, image ID and "
                                            "colour map (" +
                                            groupedNumber(dataOffset) + " bytes)" + kCutShort);
    plan.dataOffset = static_cast<std::size_t>(dataOffset);
    plan.dataEnd = file.size();
    if (hasFooter(file) && file.size() - kFooterSize >= plan.dataOffset)
        plan.dataEnd = file.size() - kFooterSize;

    TgaLayout& layout = plan.layout;
    layout.width = h.width;
    layout.height = h.height;
    layout.description =
        colourText(plan) + (plan.rle ? ", RLE, " : ", uncompressed, ") + originText(h);
    layout.hasAlpha = plan.alpha != Alpha::None;
    layout.premultiplied = plan.alpha == Alpha::Premultiplied;

    // Checked before anything is allocated for the pixels: an RLE packet holds at most 128
    // pixels, so even the most compressed picture needs this many bytes.
    const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
    const std::uint64_t needed =
        plan.rle ? (pixels + kMaxRunLength - 1) / kMaxRunLength * (1 + plan.pixelBytes)
                 : pixels * plan.pixelBytes;
    if (plan.dataEnd - plan.dataOffset < needed)
        return fail(ErrorKind::Damaged,
                    "the file is " + groupedNumber(file.size()) +
                        " bytes, but its header describes a " + sizeText(h.width, h.height) +
                        " TGA picture that needs " + (plan.rle ? "at least " : "") +
                        groupedNumber(dataOffset + needed) + kCutShort);
    return plan;
}

// ---- Pixels -------------------------------------------------------------------------------

// The nearest 8-bit level, as the editors that write 5-5-5 read it back.
std::uint8_t widen5(unsigned value) {
    return static_cast<std::uint8_t>((value * 255 + 15) / 31);
}

// One colour of `bits` bits, as stored, to B,G,R,A.
void toBgra(const std::uint8_t* in, unsigned bits, Colour colour, bool alpha, std::uint8_t* out) {
    if (colour == Colour::Grey) {
        out[0] = out[1] = out[2] = in[0];
        out[3] = bits == 16 && alpha ? in[1] : 0xFF;
        return;
    }
    switch (bits) {
    case 15:
    case 16: {
        const unsigned value = in[0] | unsigned{in[1]} << 8;
        out[0] = widen5(value & 0x1F);
        out[1] = widen5(value >> 5 & 0x1F);
        out[2] = widen5(value >> 10 & 0x1F);
        out[3] = !alpha || (value & 0x8000) ? 0xFF : 0;
        return;
    }
    case 24:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 0xFF;
        return;
    default:
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = alpha ? in[3] : 0xFF;
        return;
    }
}

// Turns each pixel of the stream, in file order, into its place in top-down B,G,R,A rows.
class PixelWriter {
  public:
    PixelWriter(const Plan& plan, std::span<const std::uint8_t> file, Picture& picture)
        : m_plan(plan), m_picture(picture), m_width(plan.header.width),
          m_height(plan.header.height), m_fromTop(plan.header.descriptor & 0x20),
          m_fromRight(plan.header.descriptor & 0x10) {
        picture.bgra.assign(std::size_t{m_width} * m_height * 4, 0);
        if (plan.colour != Colour::Mapped)
            return;
        const Header& h = plan.header;
        const unsigned entryBytes = bytesOf(h.mapBits);
        m_palette.resize(std::size_t{h.mapLength} * 4);
        for (std::size_t i = 0; i < h.mapLength; ++i)
            toBgra(&file[plan.mapOffset + i * entryBytes], h.mapBits, Colour::True,
                   plan.alpha != Alpha::None, &m_palette[i * 4]);
    }

    std::size_t total() const { return std::size_t{m_width} * m_height; }
    std::size_t written() const { return m_written; }

    // The colour of one stored pixel, or an error for an index outside the colour map.
    Result<std::array<std::uint8_t, 4>> colour(const std::uint8_t* in) const {
        std::array<std::uint8_t, 4> out{};
        if (m_plan.colour != Colour::Mapped) {
            toBgra(in, m_plan.valueBits, m_plan.colour, m_plan.alpha != Alpha::None, out.data());
            return out;
        }
        const Header& h = m_plan.header;
        const unsigned index = m_plan.pixelBytes == 1 ? in[0] : in[0] | unsigned{in[1]} << 8;
        if (index < h.mapFirst || index - h.mapFirst >= h.mapLength)
            return fail(ErrorKind::Damaged, "pixel " + groupedNumber(m_written) +
                                                " has colour index " + std::to_string(index) +
                                                ", outside its colour map (" +
                                                std::to_string(h.mapFirst) + " to " +
                                                std::to_string(h.mapFirst + h.mapLength - 1) +
                                                "): the file is damaged; save it again");
        std::copy_n(&m_palette[std::size_t{index - h.mapFirst} * 4], 4, out.begin());
        return out;
    }

    void put(const std::array<std::uint8_t, 4>& value) {
        const std::size_t y = m_fromTop ? m_row : m_height - 1 - m_row;
        const std::size_t x = m_fromRight ? m_width - 1 - m_column : m_column;
        std::copy(value.begin(), value.end(), &m_picture.bgra[(y * m_width + x) * 4]);
        ++m_written;
        if (++m_column == m_width) {
            m_column = 0;
            ++m_row;
        }
    }

  private:
    const Plan& m_plan;
    Picture& m_picture;
    std::vector<std::uint8_t> m_palette; // B,G,R,A per colour-map entry
    std::size_t m_width;
    std::size_t m_height;
    bool m_fromTop;
    bool m_fromRight;
    std::size_t m_row = 0;
    std::size_t m_column = 0;
    std::size_t m_written = 0;
};

Result<> decodeRaw(std::span<const std::uint8_t> data, unsigned pixelBytes, PixelWriter& out) {
    // analyse made sure every pixel is there.
    for (std::size_t at = 0; out.written() < out.total(); at += pixelBytes) {
        const auto value = out.colour(&data[at]);
        if (!value)
            return fail(value.error());
        out.put(*value);
    }
    return {};
}

Result<> decodeRle(std::span<const std::uint8_t> data, unsigned pixelBytes, PixelWriter& out,
                   std::size_t fileSize) {
    const auto cut = [&] {
        return fail(ErrorKind::Damaged, "the file is " + groupedNumber(fileSize) +
                                            " bytes and its RLE pixel data ends after " +
                                            groupedNumber(out.written()) + " of " +
                                            groupedNumber(out.total()) + " pixels" + kCutShort);
    };
    std::size_t at = 0;
    while (out.written() < out.total()) {
        if (at >= data.size())
            return cut();
        const std::uint8_t packet = data[at++];
        const std::size_t count = (packet & 0x7Fu) + 1;
        if (count > out.total() - out.written())
            return fail(ErrorKind::Damaged,
                        "an RLE packet at pixel " + groupedNumber(out.written()) + " runs " +
                            std::to_string(count - (out.total() - out.written())) +
                            " pixels past the end of the picture: the file is damaged; save it "
                            "again");
        if (packet & 0x80) {
            if (data.size() - at < pixelBytes)
                return cut();
            const auto value = out.colour(&data[at]);
            if (!value)
                return fail(value.error());
            at += pixelBytes;
            for (std::size_t i = 0; i < count; ++i)
                out.put(*value);
        } else {
            for (std::size_t i = 0; i < count; ++i, at += pixelBytes) {
                if (data.size() - at < pixelBytes)
                    return cut();
                const auto value = out.colour(&data[at]);
                if (!value)
                    return fail(value.error());
                out.put(*value);
            }
        }
    }
    return {};
}

void unpremultiply(std::vector<std::uint8_t>& bgra) {
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
        const unsigned alpha = bgra[i + 3];
        if (alpha == 0 || alpha == 255)
            continue;
        for (std::size_t c = 0; c < 3; ++c)
            bgra[i + c] =
                static_cast<std::uint8_t>(std::min(255u, (bgra[i + c] * 255u + alpha / 2) / alpha));
    }
}

} // namespace

bool looksLikeTga(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (head.size() >= kTgaHeaderSize) {
        const Header h = headerOf(head);
        const bool mapSound = h.mapType == 1 ? mapBitsKnown(h.mapBits) && h.mapLength > 0 &&
                                                   h.mapFirst + std::uint32_t{h.mapLength} <= 65536
                                             : h.mapType == 0 && h.mapFirst == 0 &&
                                                   h.mapLength == 0 && h.mapBits == 0;
        if (knownType(h.imageType) && mapSound &&
            (colourOf(h.imageType) != Colour::Mapped || h.mapType == 1) &&
            depthFits(colourOf(h.imageType), h.depth) && h.width != 0 && h.height != 0 &&
            pixelOffset(h) <= fileSize)
            return true;
    }
    return head.size() == fileSize && hasFooter(head);
}

Result<TgaLayout> inspectTga(std::span<const std::uint8_t> file) {
    auto plan = analyse(file);
    if (!plan)
        return fail(plan.error());
    return std::move(plan->layout);
}

Result<Picture> readTga(std::span<const std::uint8_t> file) {
    auto plan = analyse(file);
    if (!plan)
        return fail(plan.error());
    Picture picture;
    picture.width = plan->layout.width;
    picture.height = plan->layout.height;
    picture.format = "TGA";
    picture.layout = plan->layout.description;
    picture.hasAlpha = plan->layout.hasAlpha;
    if (plan->layout.premultiplied)
        picture.conversion.emplace_back("premultiplied alpha made straight");
    PixelWriter writer(*plan, file, picture);
    const auto data = file.subspan(plan->dataOffset, plan->dataEnd - plan->dataOffset);
    const auto decoded = plan->rle ? decodeRle(data, plan->pixelBytes, writer, file.size())
                                   : decodeRaw(data, plan->pixelBytes, writer);
    if (!decoded)
        return fail(decoded.error());
    if (plan->alpha == Alpha::Premultiplied)
        unpremultiply(picture.bgra);
    return picture;
}

} // namespace velmora::conversion
