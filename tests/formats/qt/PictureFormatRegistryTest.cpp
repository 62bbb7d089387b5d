// One small file per format through the registry every reader use goes through: what it says of
// each, read from tests/data/picture-formats.txt (an input file and the expected description).
#include "FileHelpers.h"
#include "TestPaths.h"

#include "formats/FileIdentity.h"
#include "formats/PictureFormats.h"
#include "formats/qt/QtPictureReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::test {
namespace {

using namespace velmora::conversion;
namespace fs = std::filesystem;

struct Row {
    std::string input; // from the source root; "path@SIZE": zero-filled to SIZE bytes
    std::string described;
    std::string decoded;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::vector<Row> rows() {
    std::vector<Row> table;
    std::istringstream lines(readText(fs::path(kTestDataDir) / "picture-formats.txt"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '|');)
            fields.push_back(trimmed(cell));
        EXPECT_EQ(fields.size(), 3u) << line;
        if (fields.size() == 3)
            table.push_back({fields[0], fields[1], fields[2]});
    }
    return table;
}

Bytes input(const std::string& name) {
    const auto at = name.find('@');
    Bytes file = readFile(fs::path(kSourceDir) / name.substr(0, at));
    if (at != std::string::npos)
        file.resize(std::stoull(name.substr(at + 1)), 0);
    return file;
}

std::string kindName(ErrorKind kind) {
    return kind == ErrorKind::Damaged       ? "damaged"
           : kind == ErrorKind::Unsupported ? "unsupported"
                                            : "other";
}

std::string said(const Result<Picture>& picture) {
    if (!picture)
        return "refused, " + kindName(picture.error().kind) + ": " + picture.error().reason;
    return picture->format + " " + std::to_string(picture->width) + "x" +
           std::to_string(picture->height) +
           (picture->layout.empty() ? "" : ", " + picture->layout) +
           (picture->hasAlpha ? ", alpha" : "");
}

TEST(PictureFormatRegistry, SaysWhatEachFileIsAndDecodesWhatItDescribes) {
    const images::QtPictureReader qt;
    const PictureFormats formats(&qt);
    const std::vector<Row> table = rows();
    ASSERT_GE(table.size(), 20u);
    for (const Row& row : table) {
        SCOPED_TRACE(row.input);
        const Bytes file = input(row.input);
        const auto head = std::span(file).first(std::min(file.size(), kIdentifyBytes));
        const PictureFormat* format = formats.formatOf(head, file.size());
        ASSERT_NE(format, nullptr) << "no format claims it by its first bytes";
        EXPECT_TRUE(format->canRead(file, file.size()));

        const auto described = formats.describe(file);
        EXPECT_EQ(said(described), row.described);
        const auto decoded = formats.decode(file);
        if (!decoded) {
            EXPECT_EQ("refused, " + kindName(decoded.error().kind), row.decoded)
                << decoded.error().reason;
            EXPECT_EQ(decoded.error().reason.find('\n'), std::string::npos);
            continue;
        }
        EXPECT_EQ("decoded", row.decoded);
        // What was described is what is decoded, pixel for pixel.
        ASSERT_TRUE(described);
        EXPECT_EQ(decoded->width, described->width);
        EXPECT_EQ(decoded->height, described->height);
        EXPECT_EQ(decoded->format, described->format);
        EXPECT_EQ(decoded->bgra.size(), std::size_t{decoded->width} * decoded->height * 4);
    }
}

} // namespace
} // namespace velmora::test
