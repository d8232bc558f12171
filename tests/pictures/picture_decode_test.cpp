// The picture-decode command, run as built: a GIF printed and written as the
// PPM Pillow reads from it, and a file that is no picture refused with exit
// status 1 and one line of reason.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PictureDecodeCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("picture-decode-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    CommandResult run(const std::string& arguments) {
        const std::string tool = std::string(TESS_BINARY_DIR) + "/app/picture-decode";
        const std::string command = "'" + tool + "' " + arguments + " >'" + (dir_ / "out").string() + "' 2>'" +
                                    (dir_ / "err").string() + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir_ / "out"), slurp(dir_ / "err")};
    }

    fs::path dir_;
};

TEST_F(PictureDecodeCommand, PrintsKindAndSizeAndWritesThePictureAsPpm) {
    const fs::path ppm = dir_ / "pattern.ppm";
    const CommandResult result = run("'" + std::string(TESS_TEST_DATA) + "/pictures/gif/pillow-pattern.gif' '" + ppm.string() + "'");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Gif 23 17\n");
    EXPECT_EQ(slurp(ppm), slurp(fs::path(TESS_TEST_DATA) / "pictures/gif/pillow-pattern.ppm"));
}

TEST_F(PictureDecodeCommand, RefusesANonPictureWithOneLineOfReason) {
    const fs::path text = dir_ / "notes.gif";
    std::ofstream(text) << "GIF? no, just some text\n";
    const CommandResult result = run("'" + text.string() + "'");
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.empty()) << result.out;
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find("notes.gif"), std::string::npos) << result.err;

    // A GIF the decoder refuses passes the decoder's own reason on.
    const fs::path bad = dir_ / "bad.gif";
    std::ofstream(bad, std::ios::binary) << std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00\x21\x02\x00", 16);
    const CommandResult refused = run("'" + bad.string() + "'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("extension"), std::string::npos) << refused.err;
}

}  // namespace
