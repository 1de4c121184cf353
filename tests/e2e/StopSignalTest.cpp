#include <signal.h>

#include "FaultFixture.h"

namespace torven::test {
namespace {

struct StopSignal {
    int number = 0;
    const char* name = "";
    const char* logLine = "";
};

const StopSignal controlC{SIGINT, "ControlC", "User pressed Control-C to terminate program"};
const StopSignal termination{SIGTERM, "Sigterm",
                             "Received termination signal (SIGTERM) to terminate program"};

std::string signalName(const ::testing::TestParamInfo<StopSignal>& info) {
    return info.param.name;
}

class StopSignalTest : public FaultFixture, public ::testing::WithParamInterface<StopSignal> {
  protected:
    // The signal ends the program with status 255, the terminal as it was before, and the
    // log ending in the signal's line, `alsoLogged` and "System shutting down".
    void expectOrderlyEnd(const std::vector<std::string>& alsoLogged = {}) {
        EXPECT_EQ(waitForExit(), 255) << monitor().screenText();
        EXPECT_TRUE(terminalGivenBack());
        std::vector<std::string> ending{GetParam().logLine};
        ending.insert(ending.end(), alsoLogged.begin(), alsoLogged.end());
        ending.push_back("System shutting down");
        const std::vector<std::string> messages = logMessagesWithoutLinkEvents();
        ASSERT_GE(messages.size(), ending.size()) << joinLines(messages);
        EXPECT_EQ(std::vector<std::string>(messages.end() - static_cast<long>(ending.size()),
                                           messages.end()),
                  ending)
            << joinLines(messages);
        expectEverythingHandedOver();
    }
};

TEST_P(StopSignalTest, DuringTheConfigurationWait) {
    startLaunchedMonitor();
    ASSERT_TRUE(rowShows(3, "*               ERROR                *"));
    ASSERT_TRUE(signalProgram(GetParam().number));
    expectOrderlyEnd();
    EXPECT_TRUE(station_.fileNames("Data").empty());
}

// A data type that does not exist is FATAL: the banner waits for a key, and a stop signal
// meanwhile ends the program in order all the same.
TEST_P(StopSignalTest, AtTheFatalBanner) {
    writeConfig(
        "SITE = Test Ridge\n"
        "DEVICE = DI-194RS, PORT = COM1\n"
        "CHANNEL = 1, DATATYPE = KORALI-XX, StationID = NR1, MonitorID = 000123\n");
    startLaunchedMonitor();
    ASSERT_TRUE(screenShows(" Press a Key to exit the application"));
    ASSERT_TRUE(signalProgram(GetParam().number));
    expectOrderlyEnd();
    EXPECT_EQ(
        logMessages("FATAL"),
        std::vector<std::string>{"Software Error: Could not allocate Measurement Type KORALI-XX"});
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, ::testing::Values(controlC, termination),
                         signalName);

}  // namespace
}  // namespace torven::test
