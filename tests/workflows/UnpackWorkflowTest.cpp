// The Unpack run end to end with the real compression component, and every way it refuses.
#include "ConversionTestSupport.h"

#include "formats/PngWriter.h"
#include "gamefile/ZlibStream.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/FileFacts.h"
#include "workflows/ImageInput.h"
#include "workflows/ShownPicture.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <gtest/gtest.h>

#include <functional>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

Bytes recordFor(const Bytes& image, const std::string& name) {
    return textureRecord(image, name, Bytes(48, 0x11));
}

// A game file as the game ships it: header, stream, zero fill to 2,400,017 bytes.
Bytes gameFileFor(const Bytes& record, bool withMagic = true) {
    Bytes game = gameFileAround(deflateZlibStream(record).stream);
    if (!withMagic)
        std::fill(game.begin(), game.begin() + 8, 0x20);
    game.resize(2'400'017, 0);
    return game;
}

// `bytes` behind a game file's first eight bytes, 00 01 01 "WESYS".
Bytes withGameLead(Bytes bytes) {
    const Bytes lead{0x00, 0x01, 0x01, 'W', 'E', 'S', 'Y', 'S'};
    std::copy(lead.begin(), lead.end(), bytes.begin());
    return bytes;
}

// What the main window has done before Unpack is clicked: the game file copied to "\Temp".
struct Chosen {
    TempFolder app;
    TempFolder user;
    void chooseGameFile(const Bytes& game) {
        writeFile(user / "game.bin", game);
        ASSERT_TRUE(copyToWorkFile(user / "game.bin", app.path(), WorkFile::Temp));
    }
};

TEST(Unpack, RoundTripsTheImageAndShowsTheGameFilePath) {
    for (bool withMagic : {true, false}) {
        SCOPED_TRACE(withMagic ? "with WESYS" : "without WESYS");
        Chosen c;
        const Bytes image = validImage(2);
        c.chooseGameFile(gameFileFor(recordFor(image, "topModeSelect_Mov03_ML.tex"), withMagic));
        DeflateCompressionComponent component;
        const std::string gameText = (c.user / "game.bin").string();

        const Outcome outcome =
            runUnpack(c.app.path(), gameText, (c.user / "tile").string(), component);
        ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
        EXPECT_EQ(outcome->messages, (std::vector<std::string>{"UncompressFile", gameText}));
        EXPECT_EQ(outcome->writtenPath, c.user / "tile.dds");
        EXPECT_EQ(readFile(c.user / "tile.dds"), image);
        EXPECT_TRUE(fileNames(c.app.path()).empty()); // every work file deleted
    }
}

TEST(Unpack, MakesAHeaderThatClaimsMipLevelsDescribeTheOneLevelAndKeepsThePixels) {
    Chosen c;
    Bytes image = validImage(4);
    writeLe32(image, 8, readLe32(image, 8) | 0x20000);      // mip-map count present
    writeLe32(image, 28, 11);                               // eleven levels
    writeLe32(image, 108, readLe32(image, 108) | 0x400008); // complex, mip-map
    c.chooseGameFile(gameFileFor(recordFor(image, "topModeSelect_Mov03_ML.tex")));
    DeflateCompressionComponent component;
    const Outcome outcome = runUnpack(c.app.path(), "g", (c.user / "t").string(), component);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    const Bytes written = readFile(c.user / "t.dds");
    ASSERT_EQ(written.size(), kImageBlockSize);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 128), makeDdsHeader())
        << "the header every reader opens";
    EXPECT_TRUE(std::equal(image.begin() + 128, image.end(), written.begin() + 128));
}

TEST(Unpack, ANameEndingInPngGetsAnRgbaPngOfThePixelsAtExactlyThatName) {
    Chosen c;
    const Bytes image = validImage(6);
    c.chooseGameFile(gameFileFor(recordFor(image, "topModeSelect_Mov03_ML.tex")));
    DeflateCompressionComponent component;
    const Outcome outcome = runUnpack(c.app.path(), "g", (c.user / "tile.PNG").string(), component);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    EXPECT_EQ(outcome->writtenPath, c.user / "tile.PNG");
    EXPECT_EQ(fileNames(c.user.path()), (std::set<std::string>{"game.bin", "tile.PNG"}));
    const Bytes png = readFile(c.user / "tile.PNG");
    EXPECT_EQ(png, encodePng(std::span(image).subspan(128), 1024, 1024));
}

TEST(Unpack, APictureInPlaceOfTheGameFileIsNamedAsWhatItIs) {
    const std::vector<std::pair<Bytes, std::string>> rows{
        {validImage(1),
         "this is a DDS image, not a game file: to make a game file from it, use pack"},
        {encodePng(Bytes(16, 0x80), 2, 2), "this is a PNG picture, not a game file"}};
    for (const auto& [picture, message] : rows) {
        Chosen c;
        c.chooseGameFile(picture);
        DeflateCompressionComponent component;
        const Outcome outcome = runUnpack(c.app.path(), "g", (c.user / "t").string(), component);
        ASSERT_FALSE(outcome.has_value());
        EXPECT_NE(failureText(outcome).find(message), std::string::npos) << failureText(outcome);
    }
}

TEST(Unpack, ShortRecordGivesAFullSizeImageWithAZeroTail) {
    Chosen c;
    const Bytes record(10'000, 0x33);
    c.chooseGameFile(gameFileFor(record));
    DeflateCompressionComponent component;
    const Outcome outcome = runUnpack(c.app.path(), "g", (c.user / "t").string(), component);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    Bytes expected(kImageBlockSize, 0);
    std::fill(expected.begin(), expected.begin() + (10'000 - 48), 0x33);
    EXPECT_EQ(readFile(c.user / "t.dds"), expected);
}

TEST(Unpack, ExtensionIsAppendedOnlyOnceAndTheTypedPathIsNeverTouched) {
    struct Row {
        std::string typed;
        std::string written;
    };
    const std::vector<Row> rows{{"tile", "tile.dds"},
                                {"tile.dds", "tile.dds"},
                                {"tile.DDS", "tile.DDS"},
                                {"tile.bin", "tile.bin.dds"}};
    const Bytes image = validImage(4);
    const Bytes game = gameFileFor(recordFor(image, "topModeSelect_Mov00_Ex.tex"));
    DeflateCompressionComponent component;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        Chosen c;
        c.chooseGameFile(game);
        writeText(c.user / "tile", "unrelated file");
        writeText(c.user / "tile.dds", "previous image");
        const Outcome outcome =
            runUnpack(c.app.path(), "g", (c.user / row.typed).string(), component);
        ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
        EXPECT_EQ(readFile(c.user / row.written), image);
        EXPECT_EQ(readText(c.user / "tile"), "unrelated file");
        EXPECT_FALSE(std::filesystem::exists(c.user / (row.typed + ".dds.dds")));
        if (row.written != "tile.dds") {
            EXPECT_EQ(readText(c.user / "tile.dds"), "previous image");
        }
    }
}

TEST(Unpack, RelativeOutputIsTakenFromTheWorkFolder) {
    Chosen c;
    c.chooseGameFile(gameFileFor(recordFor(validImage(), "n")));
    DeflateCompressionComponent component;
    const Outcome outcome = runUnpack(c.app.path(), "g", "relative", component);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    EXPECT_EQ(fileNames(c.app.path()), (std::set<std::string>{"relative.dds"}));
}

TEST(Unpack, CompressionComponentIsDrivenWithThePayloadAndTheRecordFile) {
    Chosen c;
    c.chooseGameFile(Bytes(100, 0));
    FakeComponent fake;
    fake.output = recordFor(validImage(), "x");
    const Outcome outcome = runUnpack(c.app.path(), "g", (c.user / "t").string(), fake);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    EXPECT_EQ(fake.uncompressCalls, 1);
    EXPECT_EQ(fake.compressCalls, 0);
    EXPECT_EQ(fake.seenInput, c.app / "Tempa");
    EXPECT_EQ(fake.seenOutput, c.app / "Template");
}

// Every refusal: one message naming what failed, nothing written, nothing lost.
struct Refusal {
    const char* name;
    std::function<void(Chosen&, std::string& output)> arrange;
    const char* expected;
};

Bytes validGame() {
    static const Bytes game = gameFileFor(recordFor(validImage(6), "topModeSelect_Mov08_Ed.tex"));
    return game;
}

const std::vector<Refusal>& refusals() {
    static const std::vector<Refusal> rows{
        {"NoGameCopy", [](Chosen&, std::string&) {}, "choose the game file again"},
        {"NoOutputPath",
         [](Chosen& c, std::string& o) {
             c.chooseGameFile(validGame());
             o.clear();
         },
         "choose where to save the image"},
        {"NotAZlibStream",
         [](Chosen& c, std::string&) { c.chooseGameFile(withGameLead(Bytes(2'400'017, 0))); },
         "does not begin with a zlib stream"},
        // What the preview says of it, not what inflating it says.
        {"TextIsNotAGameFile", [](Chosen& c, std::string&) { c.chooseGameFile(Bytes(40, 'x')); },
         "it is neither a game file, a DDS image nor a picture Velmora reads"},
        {"WithoutWesysStreamCutShort",
         [](Chosen& c, std::string&) {
             Bytes game =
                 gameFileFor(recordFor(validImage(6), "topModeSelect_Mov08_Ed.tex"), false);
             game.resize(game.size() / 100);
             c.chooseGameFile(game);
         },
         "cut short"},
        {"StreamCutShort",
         [](Chosen& c, std::string&) {
             Bytes game = validGame();
             const std::uint32_t length = readLe32(game, 8) + 4;
             game.resize(16 + length / 2);
             c.chooseGameFile(game);
         },
         "cut short"},
        {"StreamDamaged",
         [](Chosen& c, std::string&) {
             Bytes game = validGame();
             for (std::size_t i = 40; i < 400; ++i)
                 game[i] ^= 0x5A;
             c.chooseGameFile(game);
         },
         "damaged or cut short"},
        {"InflatesPastTheBound",
         [](Chosen& c, std::string&) {
             const Bytes bomb(kInflateLimit + 1, 0);
             Bytes game(16, 0);
             const DeflateResult stream = deflateZlibStream(bomb);
             game.insert(game.end(), stream.stream.begin(), stream.stream.end());
             c.chooseGameFile(game);
         },
         "inflates to more than 8,388,608 bytes"},
        {"OutputFolderMissing",
         [](Chosen& c, std::string& o) {
             c.chooseGameFile(validGame());
             o = (c.user / "no-such-folder" / "tile").string();
         },
         "Saving the image"},
    };
    return rows;
}

class UnpackRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(UnpackRefusal, ReportsOneMessageAndLeavesEveryFileAsItWas) {
    Chosen c;
    std::string output = (c.user / "tile").string();
    writeText(c.user / "tile", "unrelated file");
    writeText(c.user / "tile.dds", "previous image");
    GetParam().arrange(c, output);
    const auto userBefore = fileNames(c.user.path());

    DeflateCompressionComponent component;
    const std::string gameText = (c.user / "game.bin").string();
    const Outcome outcome = runUnpack(c.app.path(), gameText, output, component);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_NE(failureText(outcome).find(GetParam().expected), std::string::npos)
        << failureText(outcome);
    EXPECT_EQ(readText(c.user / "tile"), "unrelated file");
    EXPECT_EQ(readText(c.user / "tile.dds"), "previous image");
    EXPECT_EQ(fileNames(c.user.path()), userBefore);
    EXPECT_TRUE(fileNames(c.app.path()).empty()); // work files deleted on failure too
}

INSTANTIATE_TEST_SUITE_P(Cases, UnpackRefusal, testing::ValuesIn(refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Unpack, StreamFailureNamesTheUsersGameFile) {
    Chosen c;
    c.chooseGameFile(withGameLead(Bytes(64, 0x01)));
    DeflateCompressionComponent component;
    const std::string gameText = (c.user / "game.bin").string();
    const Outcome outcome = runUnpack(c.app.path(), gameText, (c.user / "t").string(), component);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_EQ(failureText(outcome).rfind("Decompressing \"" + gameText + "\" failed: ", 0), 0u)
        << failureText(outcome);
}

// A system without Qt's TIFF and WebP plug-ins: no message may claim it reads them.
class PluginsOfThisSystem final : public PictureReader {
  public:
    Result<Picture> describe(std::span<const std::uint8_t>) const override {
        return fail(ErrorKind::Unsupported, "unknown");
    }
    Result<Picture> read(std::span<const std::uint8_t>) const override {
        return fail(ErrorKind::Unsupported, "unknown");
    }
    std::vector<std::string> formatNames() const override { return {"PNG", "BMP", "JPEG", "GIF"}; }
};

// Unpack, the preview (and thumbnails) and Pack say the same of a file that is nothing
// Velmora reads, naming the formats present.
TEST(NotAGameFile, OneWordingNamingTheFormatsPresent) {
    const PluginsOfThisSystem pictures;
    const std::string formats = "(PNG, BMP, TGA, JPEG, GIF)";
    const std::string neither =
        "it is neither a game file, a DDS image nor a picture Velmora reads ";
    Chosen c;
    const Bytes text(300, 'x');
    writeFile(c.user / "notes.txt", text);
    c.chooseGameFile(text);
    DeflateCompressionComponent component;
    const Outcome unpacked = runUnpack(c.app.path(), (c.user / "game.bin").string(),
                                       (c.user / "t").string(), component, &pictures);
    ASSERT_FALSE(unpacked.has_value());
    EXPECT_EQ(unpacked.error().reason, neither + formats);
    const auto shown = readShownPicture(c.user / "notes.txt", &pictures);
    ASSERT_FALSE(shown.has_value());
    EXPECT_EQ(shown.error().reason, neither + formats);
    const auto packed = prepareImage(text, &pictures);
    ASSERT_FALSE(packed.has_value());
    EXPECT_EQ(packed.error().reason,
              "it is neither a DDS image nor a picture Velmora reads " + formats);
}

// The preview reads a file once and takes its facts and its picture from those bytes: they say
// what `info` and the thumbnail, reading the file themselves, say of it.
TEST(ShownFromBytes, FactsAndPictureAgreeWithReadingTheFile) {
    const PluginsOfThisSystem pictures;
    const Bytes image = validImage(5);
    Bytes cut = gameFileFor(recordFor(image, kTextureName));
    cut.resize(5000);
    const Bytes png = encodePng(std::span(image).subspan(128), 1024, 1024);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {{"game.bin", gameFileFor(recordFor(image, kTextureName))},
                 {"cut.bin", cut},
                 {"image.dds", image},
                 {"picture.png", png},
                 {"small.png", encodePng(std::span(image).subspan(128, 64 * 64 * 4), 64, 64)},
                 {"notes.txt", Bytes(300, 'x')}};
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(folder / c.name, c.bytes);
        const auto read = gatherFileFacts(folder / c.name, &pictures);
        ASSERT_TRUE(read.has_value());
        const FileFacts given = fileFactsOf(c.bytes, &pictures);
        EXPECT_EQ(given.kind, read->kind);
        EXPECT_EQ(given.fileSize, read->fileSize);
        EXPECT_EQ(given.game.record.has_value(), read->game.record.has_value());
        if (given.game.record && read->game.record) {
            EXPECT_EQ(given.game.record->textureName, read->game.record->textureName);
        }
        EXPECT_EQ(given.mode, read->mode);
        EXPECT_EQ(given.packAction.has_value(), read->packAction.has_value());
        const auto shown = readShownPicture(folder / c.name, &pictures);
        const auto fromBytes = shownPictureOf(c.bytes, &pictures);
        ASSERT_EQ(fromBytes.has_value(), shown.has_value());
        if (shown)
            EXPECT_EQ(fromBytes->bgra, shown->bgra);
        else
            EXPECT_EQ(fromBytes.error().reason, shown.error().reason);
        // Both from one decoding or inflation, as the preview reads them.
        const ShownFile once = shownFileOf(c.bytes, &pictures);
        EXPECT_EQ(once.facts.kind, given.kind);
        EXPECT_EQ(once.facts.mode, given.mode);
        ASSERT_EQ(once.facts.packAction.has_value(), given.packAction.has_value());
        EXPECT_EQ(once.facts.packAction ? *once.facts.packAction
                                        : once.facts.packAction.error().reason,
                  given.packAction ? *given.packAction : given.packAction.error().reason);
        ASSERT_EQ(once.picture.has_value(), shown.has_value());
        if (shown) {
            EXPECT_EQ(once.picture->bgra, shown->bgra);
            EXPECT_EQ(once.picture->hasAlpha, shown->hasAlpha);
        } else {
            EXPECT_EQ(once.picture.error().reason, shown.error().reason);
        }
    }
}

TEST(Unpack, SecondClickWithoutChoosingAgainIsRefused) {
    Chosen c;
    c.chooseGameFile(validGame());
    DeflateCompressionComponent component;
    ASSERT_TRUE(runUnpack(c.app.path(), "g", (c.user / "a").string(), component).has_value());
    const Outcome again = runUnpack(c.app.path(), "g", (c.user / "b").string(), component);
    EXPECT_FALSE(again.has_value());
    EXPECT_NE(failureText(again).find("choose the game file again"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(c.user / "b.dds"));
}

} // namespace
} // namespace velmora::test
