#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/TextFile.h"

namespace torven::platform {
namespace {

namespace fs = std::filesystem;

constexpr rlim_t limitBytes = 1024;

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Runs appendText in a child process whose files may not grow past limitBytes (a write past
// it fails as on a full disk), so the limit never touches this test program's own output.
// The child's answer: 1 appended, 0 not, -1 the child failed.
int appendUnderLimit(const fs::path& path, const std::string& text) {
    const pid_t child = fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(2);
        _exit(appendText(path.string(), text) ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) > 1) {
        return -1;
    }
    return WEXITSTATUS(status);
}

class TextFileFullDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "torven-full-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

TEST_F(TextFileFullDiskTest, ALineThatFitsOnlyInPartLeavesTheFileAsItWas) {
    const fs::path log = folder_ / "log.txt";
    const std::string earlier(limitBytes - 10, 'x');
    std::ofstream(log, std::ios::binary) << earlier;

    EXPECT_EQ(appendUnderLimit(log, "a line longer than the room left\n"), 0);
    EXPECT_EQ(contentOf(log), earlier);
    EXPECT_EQ(appendUnderLimit(log, "fits\n"), 1);
    EXPECT_EQ(contentOf(log), earlier + "fits\r\n");
    EXPECT_EQ(appendUnderLimit(log, "no room at all\n"), 0);
    EXPECT_EQ(contentOf(log), earlier + "fits\r\n");
}

TEST_F(TextFileFullDiskTest, TextLargerThanAFileMayGrowLeavesANewFileEmpty) {
    const fs::path log = folder_ / "new.txt";
    EXPECT_EQ(appendUnderLimit(log, std::string(limitBytes, 'y') + "\n"), 0);
    EXPECT_EQ(contentOf(log), "");
}

}  // namespace
}  // namespace torven::platform
