#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "devices/Di194RsDevice.h"
#include "di194rs-sim/Di194RsSimulator.h"
#include "support/ScratchStation.h"
#include "support/WaitUntil.h"

extern char** environ;

namespace torven {
namespace {

namespace fs = std::filesystem;

// The simulator program, run by the test and driven through its control FIFO.
class SimulatorProcess {
  public:
    SimulatorProcess(const fs::path& link, const fs::path& control) : control_(control) {
        std::vector<std::string> arguments = {
            TORVEN_SIMULATOR_PATH, "--link",    link.string(), "--control",
            control.string(),      "--channel", "1=const:2.5"};
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimulatorProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool running() const { return pid_ > 0; }
    void send(const std::string& line) const {
        const int fifo = ::open(control_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fifo, 0);
        const std::string text = line + "\n";
        EXPECT_EQ(::write(fifo, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fifo);
    }
    // The exit status once it has ended, or -1 when it did not end in time.
    int waitForExit() {
        int status = 0;
        exited_ = test::waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; });
        return exited_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    fs::path control_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

bool linkLeadsToAPty(const fs::path& link) {
    std::error_code error;
    return fs::read_symlink(link, error).string().starts_with("/dev/pts/");
}

TEST(SimulatorProgramTest, FollowsTheControlFifoAndLeavesTheLinkDanglingAtTheEnd) {
    test::ScratchStation station;
    const fs::path link = station.portLink(3);
    const fs::path control = station.path("tmp/simulator-control");
    SimulatorProcess simulator(link, control);
    ASSERT_TRUE(simulator.running());
    ASSERT_TRUE(test::waitUntil([&] { return linkLeadsToAPty(link) && fs::exists(control); }));

    Di194RsDevice device;
    device.setPort("COM3");
    ASSERT_TRUE(device.connect());
    ASSERT_TRUE(device.readSample());
    EXPECT_EQ(device.channelValue(1), sim::Di194RsSimulator::countFor(2.5) * 0.01953125 - 10.0);

    simulator.send("silent");
    EXPECT_TRUE(test::waitUntil([&] { return !device.readSample(); }));
    simulator.send("resume");
    EXPECT_TRUE(test::waitUntil([&] { return device.connect(); }));

    simulator.send("unplug");
    EXPECT_TRUE(test::waitUntil([&] { return !linkLeadsToAPty(link); }));
    EXPECT_FALSE(device.readSample());
    simulator.send("plug");
    EXPECT_TRUE(test::waitUntil([&] { return device.connect(); }));
    EXPECT_TRUE(device.readSample());
    EXPECT_TRUE(device.disconnect());

    simulator.send("quit");
    EXPECT_EQ(simulator.waitForExit(), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(linkLeadsToAPty(link));
    EXPECT_FALSE(fs::exists(control));
}

}  // namespace
}  // namespace torven
