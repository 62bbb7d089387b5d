// The Pack run end to end with the real compression component, and every way it refuses.
#include "ConversionTestSupport.h"

#include "fit/ImageFitter.h"
#include "gamefile/GameFileInspection.h"
#include "gamefile/ZlibStream.h"
#include "workflows/DeflateCompressionComponent.h"
#include "workflows/WorkFiles.h"
#include "workflows/Workflows.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace velmora::test {
namespace {

using namespace velmora::conversion;

Bytes textureHeader() {
    Bytes header(48);
    for (std::size_t i = 0; i < header.size(); ++i)
        header[i] = static_cast<std::uint8_t>(0xA0 + i);
    return header;
}

// The application folder as it stands beside the program: only the texture header.
struct AppFolder {
    TempFolder app;
    TempFolder user;
    AppFolder() { writeFile(app / "WE00", textureHeader()); }
};

PackOptions headerFrom(const std::filesystem::path& file) {
    PackOptions options;
    options.textureHeaderFile = file;
    return options;
}

Bytes inflateGameFile(const Bytes& game) {
    const auto record = inflateZlibStream(std::span(game).subspan(16));
    EXPECT_TRUE(record) << record.error().reason;
    return record ? record->bytes : Bytes();
}

struct NameCase {
    const char* textureName;
    std::size_t recordSize;
};

class PackRecord : public testing::TestWithParam<NameCase> {};

TEST_P(PackRecord, GameFileHoldsHeaderImageAndNameAndTheStoredLength) {
    AppFolder f;
    const Bytes image = validImage(3);
    writeFile(f.user / "tile.dds", image);
    DeflateCompressionComponent component;

    const Outcome outcome = runPack(f.app.path(), (f.user / "tile.dds").string(),
                                    (f.user / "out").string(), GetParam().textureName, component);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    EXPECT_EQ(outcome->writtenPath, f.user / "out.bin");
    EXPECT_EQ(outcome->messages,
              (std::vector<std::string>{"CompressFile", (f.user / "out").string()}));

    const Bytes game = readFile(f.user / "out.bin");
    ASSERT_EQ(game.size(), 2'400'017u);
    const GameFileInfo info = inspectGameFile(game);
    ASSERT_TRUE(info.record);
    ASSERT_TRUE(outcome->storedLength.has_value());
    EXPECT_EQ(*outcome->storedLength, static_cast<std::int32_t>(info.record->streamSize) - 4);
    EXPECT_EQ(info.storedLength, *outcome->storedLength);

    const Bytes record = inflateGameFile(game);
    ASSERT_EQ(record.size(), GetParam().recordSize);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 48), textureHeader());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), record.begin() + 48));
    EXPECT_EQ(std::string(record.begin() + 4'194'480, record.end()), GetParam().textureName);

    // Only the texture header stays in the application folder; only the game file is new.
    EXPECT_EQ(fileNames(f.app.path()), (std::set<std::string>{"WE00"}));
    EXPECT_EQ(fileNames(f.user.path()), (std::set<std::string>{"tile.dds", "out.bin"}));
}

INSTANTIATE_TEST_SUITE_P(TextureNames, PackRecord,
                         testing::Values(NameCase{"topModeSelect_Mov00_Ex.tex", 4'194'506},
                                         NameCase{"topModeSelect_Mov04_Cmm.tex", 4'194'507}));

// Pictures that take the strongest level in parts, as they are and fitted: a run gives the same
// game file as the one before, holding exactly the record.
TEST(Pack, SamePictureGivesTheSameGameFileOnEveryRun) {
    struct Row {
        const char* name;
        Bytes image;
        bool fit;
    };
    const std::vector<Row> rows{{"needs the strongest level", photoLikeImage(1.0, 11), false},
                                {"needs fitting", photoLikeImage(3.0, 11), true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppFolder f;
        writeFile(f.user / "tile.dds", row.image);
        PackOptions options;
        options.fitIfTooDetailed = row.fit;
        std::vector<Bytes> games;
        for (const char* out : {"first", "second"}) {
            DeflateCompressionComponent component;
            const Outcome outcome =
                runPack(f.app.path(), (f.user / "tile.dds").string(), (f.user / out).string(),
                        kTextureName, component, options);
            ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
            EXPECT_EQ(outcome->fittedPsnr.has_value(), row.fit);
            if (!row.fit) {
                EXPECT_EQ(component.lastLevel(), kStrongestCompressionLevel);
            }
            games.push_back(readFile(f.user / (std::string(out) + ".bin")));
        }
        EXPECT_TRUE(games[0] == games[1]) << "not the same bytes";
        const Bytes record = inflateGameFile(games[0]);
        ASSERT_EQ(record.size(), 4'194'506u);
        if (!row.fit) {
            EXPECT_TRUE(std::equal(row.image.begin(), row.image.end(), record.begin() + 48));
        }
    }
}

TEST(Pack, ExtensionIsAppendedOnlyOnceAndTheTypedPathIsNeverTouched) {
    struct Row {
        std::string typed;
        std::string written;
    };
    const std::vector<Row> rows{{"tile", "tile.bin"},
                                {"tile.bin", "tile.bin"},
                                {"tile.BIN", "tile.BIN"},
                                {"tile.dds", "tile.dds.bin"}};
    AppFolder f;
    writeFile(f.user / "image.dds", validImage());
    DeflateCompressionComponent component;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        TempFolder out;
        writeText(out / "tile", "unrelated file");
        writeText(out / "tile.dds", "user's image");
        const Outcome outcome =
            runPack(f.app.path(), (f.user / "image.dds").string(), (out / row.typed).string(),
                    "topModeSelect_Mov06_OL.tex", component);
        ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
        EXPECT_EQ(outcome->writtenPath, out / row.written);
        EXPECT_EQ(readFile(out / row.written).size(), 2'400'017u);
        EXPECT_EQ(readText(out / "tile"), "unrelated file");
        if (row.written != "tile.dds") {
            EXPECT_EQ(readText(out / "tile.dds"), "user's image");
        }
    }
}

TEST(Pack, LongerImageIsCutToTheImageBlock) {
    AppFolder f;
    Bytes image = validImage(5);
    const Bytes firstLevel = image;
    image.resize(image.size() + 1'398'144, 0x77); // the further mip levels
    writeFile(f.user / "mips.dds", image);
    DeflateCompressionComponent component;
    const Outcome outcome =
        runPack(f.app.path(), (f.user / "mips.dds").string(), (f.user / "o").string(),
                "topModeSelect_Mov01_CL.tex", component);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    const Bytes record = inflateGameFile(readFile(f.user / "o.bin"));
    EXPECT_TRUE(std::equal(firstLevel.begin(), firstLevel.end(), record.begin() + 48));
}

TEST(Pack, HeaderFileGivenByTheCallerReplacesWE00) {
    AppFolder f;
    std::filesystem::remove(f.app / "WE00");
    Bytes custom(60, 0x5A); // only its first 48 bytes count
    writeFile(f.user / "genuine", custom);
    writeFile(f.user / "i.dds", validImage());
    DeflateCompressionComponent component;
    const Outcome outcome =
        runPack(f.app.path(), (f.user / "i.dds").string(), (f.user / "o").string(),
                "topModeSelect_Mov02_BL.tex", component, headerFrom(f.user / "genuine"));
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    const Bytes record = inflateGameFile(readFile(f.user / "o.bin"));
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 48), Bytes(48, 0x5A));
}

TEST(Pack, CompressionComponentIsDrivenWithTheRecordAndTheStreamFile) {
    AppFolder f;
    writeFile(f.user / "i.dds", validImage());
    FakeComponent fake;
    // Whatever stream the component leaves is what the game file carries, as long as it
    // really holds the record: Pack proves that before it reports success.
    const std::string name = "topModeSelect_Mov02_BL.tex";
    const Bytes record = textureRecord(validImage(), name, textureHeader());
    fake.output = zlibStream(record, 1);
    const Outcome outcome =
        runPack(f.app.path(), (f.user / "i.dds").string(), (f.user / "o").string(), name, fake);
    ASSERT_TRUE(outcome.has_value()) << failureText(outcome);
    EXPECT_EQ(fake.compressCalls, 1);
    EXPECT_EQ(fake.uncompressCalls, 0);
    EXPECT_EQ(fake.seenInput, f.app / "Template");
    EXPECT_EQ(fake.seenOutput, f.app / "zlib");
    EXPECT_EQ(*outcome->storedLength, static_cast<std::int32_t>(fake.output->size()) - 4);
    const Bytes game = readFile(f.user / "o.bin");
    EXPECT_TRUE(std::equal(fake.output->begin(), fake.output->end(), game.begin() + 16));

    // A component that leaves a stream of something else is caught, and nothing is written.
    fake.output = zlibStream(Bytes(record.size(), 0x11), 1);
    const Outcome wrong =
        runPack(f.app.path(), (f.user / "i.dds").string(), (f.user / "o").string(), name, fake);
    ASSERT_FALSE(wrong.has_value());
    EXPECT_NE(failureText(wrong).find("the written game file is wrong"), std::string::npos)
        << failureText(wrong);
    EXPECT_EQ(readFile(f.user / "o.bin"), game);
}

// Every refusal: one message naming what failed, nothing written, nothing lost.
struct Refusal {
    const char* name;
    std::function<void(AppFolder&, std::string& image, std::string& output, FakeComponent*&)>
        arrange;
    const char* expected;
};

Bytes noise(std::size_t size) {
    std::mt19937 random(7);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

void withImage(AppFolder& f, std::string& image, const Bytes& bytes) {
    writeFile(f.user / "in.dds", bytes);
    image = (f.user / "in.dds").string();
}

Bytes mutated(std::size_t at, std::uint32_t value) {
    Bytes image = validImage();
    writeLe32(image, at, value);
    return image;
}

const std::vector<Refusal>& refusals() {
    static const std::vector<Refusal> rows{
        {"NoOutputPath",
         [](AppFolder& f, std::string& i, std::string& o, FakeComponent*&) {
             withImage(f, i, validImage());
             o.clear();
         },
         "choose where to save the game file"},
        {"NoImageChosen",
         [](AppFolder&, std::string& i, std::string&, FakeComponent*&) { i.clear(); },
         "choose the image to pack"},
        {"ImageMissing",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             i = (f.user / "absent.dds").string();
         },
         "the file does not exist"},
        {"ImageIsAFolder",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             std::filesystem::create_directory(f.user / "dir.dds");
             i = (f.user / "dir.dds").string();
         },
         "folder"},
        {"ImageShort",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             Bytes image = validImage();
             image.resize(4'194'431);
             withImage(f, i, image);
         },
         "the file is 4,194,431 bytes, but its header describes"},
        {"NotADds",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             withImage(f, i, Bytes(4'194'432, 0x42));
         },
         "not a DDS image"},
        {"OtherSize",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             Bytes image = mutated(12, 512);
             writeLe32(image, 16, 512);
             withImage(f, i, image);
         },
         "the game's tile is 1024x1024: resize it"},
        {"CubeMap",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             withImage(f, i, mutated(112, 0xFE00));
         },
         "cube map"},
        {"GameFileInPlaceOfTheImage",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             Bytes game(2'400'017, 0);
             const Bytes lead{0x00, 0x01, 0x01, 'W', 'E', 'S', 'Y', 'S'};
             std::copy(lead.begin(), lead.end(), game.begin());
             withImage(f, i, game);
         },
         "this is a game file: unpack it to get its image"},
        {"TextureHeaderMissing",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             std::filesystem::remove(f.app / "WE00");
             withImage(f, i, validImage());
         },
         "Reading the texture header"},
        {"TextureHeaderShort",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             writeFile(f.app / "WE00", Bytes(47, 1));
             withImage(f, i, validImage());
         },
         "47 bytes long; the texture header needs 48"},
        {"OutputFolderMissing",
         [](AppFolder& f, std::string& i, std::string& o, FakeComponent*&) {
             withImage(f, i, validImage());
             o = (f.user / "no-such-folder" / "out").string();
         },
         "Saving the game file"},
        {"ComponentFails",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*& c) {
             withImage(f, i, validImage());
             static FakeComponent failing;
             failing.answer = fail(ErrorKind::WriteFailed, "disk full");
             c = &failing;
         },
         "failed: disk full"},
        {"TooDetailed",
         [](AppFolder& f, std::string& i, std::string&, FakeComponent*&) {
             Bytes image = noise(kImageBlockSize);
             const Bytes header = makeDdsHeader();
             std::copy(header.begin(), header.end(), image.begin());
             withImage(f, i, image);
         },
         "the image is too detailed to fit the game file:"},
    };
    return rows;
}

class PackRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(PackRefusal, ReportsOneMessageAndLeavesEveryFileAsItWas) {
    AppFolder f;
    std::string image;
    std::string output = (f.user / "out").string();
    writeText(f.user / "out", "unrelated file");
    writeText(f.user / "out.bin", "previous game file");
    FakeComponent* fake = nullptr;
    GetParam().arrange(f, image, output, fake);
    const auto appBefore = fileNames(f.app.path());
    const auto userBefore = fileNames(f.user.path());

    DeflateCompressionComponent real;
    const Outcome outcome =
        fake ? runPack(f.app.path(), image, output, "topModeSelect_Mov00_Ex.tex", *fake)
             : runPack(f.app.path(), image, output, "topModeSelect_Mov00_Ex.tex", real);
    ASSERT_FALSE(outcome.has_value());
    EXPECT_NE(failureText(outcome).find(GetParam().expected), std::string::npos)
        << failureText(outcome);
    EXPECT_EQ(readText(f.user / "out"), "unrelated file");
    EXPECT_EQ(readText(f.user / "out.bin"), "previous game file");
    EXPECT_EQ(fileNames(f.user.path()), userBefore);
    EXPECT_EQ(fileNames(f.app.path()), appBefore); // work files gone, nothing half-written left
}

INSTANTIATE_TEST_SUITE_P(Cases, PackRefusal, testing::ValuesIn(refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Pack, FittedStreamIsPackedOnlyForTheRecordItWasMadeFor) {
    AppFolder f;
    writeFile(f.user / "i.dds", validImage(2));
    writeText(f.user / "out.bin", "previous game file");
    const Bytes name = {'a', '.', 't', 'e', 'x'};
    const auto fit = fitImageToSlot(validImage(2), {textureHeader(), name});
    ASSERT_TRUE(fit);
    PackOptions options;
    options.fitted = &*fit;
    DeflateCompressionComponent component;
    const auto pack = [&](std::string_view textureName) {
        return runPack(f.app.path(), (f.user / "i.dds").string(), (f.user / "out").string(),
                       textureName, component, options);
    };
    // Another texture name makes another record: the stream would not hold it.
    const Outcome wrong = pack("b.tex");
    ASSERT_FALSE(wrong.has_value());
    EXPECT_EQ(readText(f.user / "out.bin"), "previous game file");
    const Outcome right = pack("a.tex");
    ASSERT_TRUE(right.has_value()) << failureText(right);
    EXPECT_EQ(readFile(f.user / "out.bin").size(), kGameFileSize);
}

TEST(Pack, UnwritableWorkFolderIsReported) {
    AppFolder f;
    writeFile(f.user / "i.dds", validImage());
    const auto notAFolder = f.user / "plain-file";
    writeText(notAFolder, "x");
    DeflateCompressionComponent component;
    const Outcome outcome =
        runPack(notAFolder, (f.user / "i.dds").string(), (f.user / "o").string(),
                "topModeSelect_Mov00_Ex.tex", component, headerFrom(f.app / "WE00"));
    ASSERT_FALSE(outcome.has_value());
    EXPECT_NE(failureText(outcome).find("Writing the work file"), std::string::npos)
        << failureText(outcome);
    EXPECT_FALSE(std::filesystem::exists(f.user / "o.bin"));
}

} // namespace
} // namespace velmora::test
