// SPDX-License-Identifier: MIT
// Files the commands write on the simulated board: an upload replaces its file only when it is
// complete (a full disk leaves the old file, a symbolic link stays a link, the file keeps its
// permissions), and "lf" never empties a file that is there.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "session.h"

namespace fs = std::filesystem;
namespace q = quillon;
using q::testing::scratchFile;
using q::testing::Session;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The hidden files of the scratch folder: a temporary file left behind shows.
std::vector<std::string> hiddenFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(q::testing::scratch.path)) {
        if (entry.path().filename().string().starts_with(".")) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

// While it lives, no file of this process may grow beyond `bytes`: a write past it fails as on
// a full disk (SIGXFSZ ignored, so the write reports EFBIG instead of ending the process).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*previous_)(int);
};

const std::string earlier = ":0100000042BD\n:00000001FF\n"; // an earlier upload, one byte 42

struct UploadCase {
    std::string name;
    std::string word;     // the command, before the file's path
    std::string file;     // the path given, in the scratch folder
    bool complete = true; // the upload can be written whole
    rlim_t sizeLimit = 0; // nonzero: files may not grow beyond this
    std::string prints;   // a line the command prints
    mode_t mode = 0640;   // the existing file's permissions, kept by its replacement
};

void PrintTo(const UploadCase& c, std::ostream* out) {
    *out << c.name;
}

class Upload : public ::testing::TestWithParam<UploadCase> {};

} // namespace

// The flash of an ATmega16 that holds 1000 bytes of 0x5a (about 2.8 KB of HEX) is uploaded over a
// file that holds an earlier upload.
TEST_P(Upload, ReplacesTheFileOnlyWhenComplete) {
    const UploadCase& c = GetParam();
    Session s("ATmega16");
    std::fill_n(s.chip().flash.begin(), 1000, uint8_t{0x5A});
    const std::string target = scratchFile(c.name + ".hex", earlier);
    fs::permissions(target, static_cast<fs::perms>(c.mode));
    const std::string path = (q::testing::scratch.path / c.file).string();
    if (c.file != c.name + ".hex") {
        fs::create_symlink(c.name + ".hex", path);
    }
    std::string out;
    {
        const FileSizeLimit limit(c.sizeLimit != 0 ? c.sizeLimit : RLIM_INFINITY);
        out = s.run(c.word + path);
    }
    EXPECT_NE(out.find(c.prints), std::string::npos) << out;
    const std::string now = contents(target);
    if (!c.complete) {
        EXPECT_EQ(now, earlier);
    } else {
        std::string first = ":10000000";
        for (int i = 0; i < 16; ++i) {
            first += "5a";
        }
        EXPECT_EQ(now.substr(0, 44), first + "50\n");
        EXPECT_EQ(now.substr(now.size() - 12), ":00000001FF\n");
    }
    EXPECT_EQ(static_cast<mode_t>(fs::status(target).permissions()), c.mode);
    EXPECT_EQ(fs::is_symlink(path), c.file != c.name + ".hex");
    EXPECT_EQ(hiddenFiles(), std::vector<std::string>{}); // no temporary file left behind
}

INSTANTIATE_TEST_SUITE_P(
    Uploads, Upload,
    ::testing::Values(UploadCase{"plain", "uf", "plain.hex", true, 0, "Write Flash/EEPROM data to"},
                      UploadCase{"linked", "uf", "link.hex", true, 0, "Write Flash/EEPROM data to",
                                 0600},
                      UploadCase{"full", "uf", "full.hex", false, 1000,
                                 "the file is left as it was, check the free space"},
                      UploadCase{"fullLinked", "uf", "fullLink.hex", false, 2000,
                                 "the file is left as it was, check the free space"}),
    [](const ::testing::TestParamInfo<UploadCase>& info) { return info.param.name; });

// "lf" opens its file for appending: a file given by mistake (a program, "load file") keeps
// what it holds, a new one is made empty, and nothing is ever written into either.
TEST(LogFile, NeverEmptiesAFileThatIsThere) {
    Session s("ATmega48");
    const std::string program = scratchFile("program.hex", earlier);
    const std::string fresh = (q::testing::scratch.path / "fresh.log").string();
    for (const auto& [word, file, kept] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"lf", program, earlier}, {"LF", fresh, ""}, {"lf", program, earlier}}) {
        EXPECT_EQ(s.run(word + file), "");
        EXPECT_EQ(contents(file), kept) << file;
    }
}
