// Handles and their registry, format detection, and loading from bytes and
// from files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "core_fixtures.h"
#include "pictures/decoders.h"
#include "pictures/picture.h"

using namespace pictures;
using core_fixtures::readFixture;

namespace {

using Bytes8 = std::vector<std::uint8_t>;

TEST(FormatDetection, SixBytesDecide) {
    const struct {
        const char* name;
        Bytes8 bytes;
        std::optional<PictureKind> want;
    } cases[] = {
        {"BM", {'B', 'M', 0, 0, 0, 0}, PictureKind::Bmp},
        {"JPEG start marker", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}, PictureKind::Jpeg},
        {"icon", {0, 0, 1, 0, 1, 0}, PictureKind::Icon},
        // The image count is unsigned: 0x8000 images is still more than 0.
        {"icon, count 0x8000", {0, 0, 1, 0, 0x00, 0x80}, PictureKind::Icon},
        {"icon, count 0", {0, 0, 1, 0, 0, 0}, std::nullopt},
        {"cursor", {0, 0, 2, 0, 3, 0}, PictureKind::Cursor},
        {"type 3", {0, 0, 3, 0, 1, 0}, std::nullopt},
        {"GIF87a", {'G', 'I', 'F', '8', '7', 'a'}, PictureKind::Gif},
        {"GIF89a", {'G', 'I', 'F', '8', '9', 'a'}, PictureKind::Gif},
        {"GIF88a", {'G', 'I', 'F', '8', '8', 'a'}, std::nullopt},
        {"GIF89b", {'G', 'I', 'F', '8', '9', 'b'}, std::nullopt},
        {"PCX version 5, 8 bits", {0x0A, 5, 1, 8, 0, 0}, PictureKind::Pcx8},
        {"PCX version 0, 8 bits", {0x0A, 0, 1, 8, 0, 0}, PictureKind::Pcx8},
        {"PCX version 6, 8 bits", {0x0A, 6, 1, 8, 0, 0}, std::nullopt},
        {"PCX not run-length coded", {0x0A, 5, 0, 8, 0, 0}, std::nullopt},
        {"PCX version 3, 1 bit", {0x0A, 3, 1, 1, 0, 0}, PictureKind::Pcx1},
        {"PCX version 5, 1 bit", {0x0A, 5, 1, 1, 0, 0}, std::nullopt},
        {"PCX 4 bits", {0x0A, 5, 1, 4, 0, 0}, std::nullopt},
        {"only 5 bytes", {'B', 'M', 0, 0, 0}, std::nullopt},
        {"nothing", {}, std::nullopt},
        {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A}, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto have = detectPictureFormat(c.bytes);
        EXPECT_EQ(have, c.want) << c.name << ": have " << (have ? kindName(*have) : "none") << ", want "
                                << (c.want ? kindName(*c.want) : "none");
    }
}

TEST(PictureRegistry, HandlesNameLivePicturesOnly) {
    const Bytes8 bmp = readFixture("im-rgb24-7x5.bmp");
    const PictureHandle a = loadPicture(bmp.data(), static_cast<std::int64_t>(bmp.size()));
    const PictureHandle b = loadPicture(bmp.data(), static_cast<std::int64_t>(bmp.size()));
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_TRUE(isPictureLoaded(a));
    ASSERT_NE(findPicture(a), nullptr);
    EXPECT_EQ(findPicture(a)->kind, PictureKind::Bmp);
    EXPECT_EQ(findPicture(a)->width, 7);

    unloadPicture(a);
    EXPECT_FALSE(isPictureLoaded(a));
    EXPECT_EQ(findPicture(a), nullptr);
    EXPECT_TRUE(isPictureLoaded(b));
    unloadPicture(a);  // a second unload does nothing
    unloadPicture(0);
    EXPECT_TRUE(isPictureLoaded(b));

    // A new picture never takes a handle that is still live.
    const PictureHandle c = loadPicture(bmp.data(), static_cast<std::int64_t>(bmp.size()));
    EXPECT_NE(c, 0);
    EXPECT_NE(c, b);
    EXPECT_TRUE(isPictureLoaded(b));

    for (const PictureHandle never : {0, -1, 0x7FFFFFFF, b + 100000}) EXPECT_FALSE(isPictureLoaded(never)) << never;
    unloadPicture(b);
    unloadPicture(c);
}

TEST(PictureRegistry, LoadingBytesThatAreNoPictureGivesZero) {
    const Bytes8 bmp = readFixture("im-rgb24-7x5.bmp");
    EXPECT_EQ(loadPicture(nullptr, 100), 0);
    EXPECT_EQ(loadPicture(bmp.data(), 0), 0);
    EXPECT_EQ(loadPicture(bmp.data(), -1), 0);
    EXPECT_EQ(loadPicture(bmp.data(), 5), 0);   // too short to recognise
    EXPECT_EQ(loadPicture(bmp.data(), 60), 0);  // a BMP cut short
}

class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tess-registry-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string write(const std::string& name, const Bytes8& bytes) {
        const auto path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::filesystem::path folder_;
};

TEST_F(PictureFiles, WhatCannotBeReadGivesZero) {
    EXPECT_EQ(loadPicture(std::string()), 0);
    EXPECT_EQ(loadPicture((folder_ / "missing.bmp").string()), 0);
    EXPECT_EQ(loadPicture(folder_.string()), 0) << "a folder";
    EXPECT_EQ(loadPicture(write("five.bmp", {'B', 'M', 0, 0, 0})), 0);
    // A pipe with no writer: reading it would block for ever.
    const auto fifo = (folder_ / "pipe.bmp").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(loadPicture(fifo), 0);
}

// The file path goes through chunked reading (BMP rows and the JPEG source
// in 4096-byte pieces); it must give what decoding the same bytes gives.
TEST_F(PictureFiles, FileAndBytesGiveTheSamePicture) {
    const struct {
        const char* fixture;
        const char* savedAs;  // the name never matters
        PictureKind kind;
    } cases[] = {
        {"bmpsuite-g-rgb24.bmp", "photo.bmp", PictureKind::Bmp},  // 24 kB
        {"bmpsuite-g-pal8.bmp", "photo.bmp", PictureKind::Bmp},   // colour table, 9 kB
        {"im-rgb24-7x5.bmp", "photo.jpg", PictureKind::Bmp},      // a BMP under a JPEG name
        {"wuffs-bricks-color.jpeg", "photo.gif", PictureKind::Jpeg},
    };
    for (const auto& c : cases) {
        const Bytes8 bytes = readFixture(c.fixture);
        const PictureHandle fromFile = loadPicture(write(c.savedAs, bytes));
        const PictureHandle fromBytes = loadPicture(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        const Picture* file = findPicture(fromFile);
        const Picture* memory = findPicture(fromBytes);
        EXPECT_NE(file, nullptr) << c.fixture;
        EXPECT_NE(memory, nullptr) << c.fixture;
        if (file != nullptr && memory != nullptr) {
            EXPECT_EQ(file->kind, c.kind) << c.fixture;
            EXPECT_EQ(file->width, memory->width) << c.fixture;
            EXPECT_EQ(file->height, memory->height) << c.fixture;
            EXPECT_EQ(file->pixels, memory->pixels) << c.fixture;
        }
        unloadPicture(fromFile);
        unloadPicture(fromBytes);
    }
}

// Kinds other than BMP and JPEG are read whole, so a file far beyond any
// picture's size is refused before it is read (a sparse file: no disk used).
TEST_F(PictureFiles, HugeFileIsRefusedUnread) {
    const auto path = write("huge.gif", {'G', 'I', 'F', '8', '9', 'a'});
    ASSERT_EQ(::truncate(path.c_str(), 8LL << 30), 0);
    const auto result = decodePictureFile(path);
    ASSERT_TRUE(std::holds_alternative<Failure>(result));
    EXPECT_EQ(std::get<Failure>(result).kind, FailureKind::TooLarge);
}

}  // namespace
