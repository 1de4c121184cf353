#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <string>

#include "platform/Keyboard.h"
#include "platform/SignalWatcher.h"
#include "support/PseudoTerminal.h"

namespace torven::platform {
namespace {

struct SignalCase {
    int signal;
    StopSignal expected;
};

class SignalWatcherTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalWatcherTest, TheHandlerGetsTheSignalOnItsOwnThread) {
    std::promise<std::pair<StopSignal, bool>> handled;
    const auto mainThread = std::this_thread::get_id();
    {
        SignalWatcher watcher([&](StopSignal signal) {
            handled.set_value({signal, std::this_thread::get_id() != mainThread});
        });
        ASSERT_EQ(::kill(::getpid(), GetParam().signal), 0);
        auto result = handled.get_future();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        const auto [signal, onAnotherThread] = result.get();
        EXPECT_EQ(signal, GetParam().expected);
        EXPECT_TRUE(onAnotherThread);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalWatcherTest,
                         ::testing::Values(SignalCase{SIGINT, StopSignal::Interrupt},
                                           SignalCase{SIGTERM, StopSignal::Terminate},
                                           SignalCase{SIGHUP, StopSignal::HangUp}));

struct WayOut {
    const char* name;
    void (*end)();
    int status;  // the exit status, or 128 + the signal that ended the process
};

// Whichever way the process ends without its destructors, it gives its terminal back in the
// state it found it: a crash signal, and exitProcess (a stop signal or a FATAL entry).
class TerminalGivenBackTest : public ::testing::TestWithParam<WayOut> {};

TEST_P(TerminalGivenBackTest, RestoresTheTerminal) {
    test::PseudoTerminal pty(false);
    test::TerminalOutput output(pty);
    termios before{};
    ASSERT_EQ(::tcgetattr(pty.programSide(), &before), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(pty.programSide(), STDOUT_FILENO);
        // Neither way out destroys it: only the way out itself may give the terminal back.
        Keyboard keyboard;
        keyboard.attach(pty.programSide());
        restoreTerminalOnCrash();
        GetParam().end();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), GetParam().status);

    termios after{};
    ASSERT_EQ(::tcgetattr(pty.programSide(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_NE(output.takeOutput().find("\x1b[0m\x1b[?25h"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(WaysOut, TerminalGivenBackTest,
                         ::testing::Values(WayOut{"Crash", [] { std::abort(); }, 128 + SIGABRT},
                                           WayOut{"ExitProcess", [] { exitProcess(255); }, 255}),
                         [](const ::testing::TestParamInfo<WayOut>& way) {
                             return std::string(way.param.name);
                         });

}  // namespace
}  // namespace torven::platform
