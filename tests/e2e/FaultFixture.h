#pragma once

#include <map>
#include <string>
#include <vector>

#include "MonitorFixture.h"
#include "support/DataFileCheck.h"
#include "support/MonitorLauncher.h"

namespace torven::test {

// A run of the monitor under faults from outside: started through a MonitorLauncher (a file
// size limit, the terminal settings before and after, signals to the program itself), with
// the data file checks at hand.
class FaultFixture : public MonitorFixture {
  protected:
    void TearDown() override;

    // Starts the program through the launcher, TZ=UTC; a later call starts a new run after
    // the previous one has ended.
    void startLaunchedMonitor();
    MonitorLauncher& launcher() { return launcher_; }
    // Sends the signal to the program itself.
    ::testing::AssertionResult signalProgram(int signalNumber) const;

    // The program has ended and the terminal is as it was before: the same settings, and
    // the shell's line after it in the terminal's own colours.
    ::testing::AssertionResult terminalGivenBack() const;

    // The *.csv files of a folder with their content.
    std::map<std::string, std::string> filesIn(const std::string& folder) const {
        return readDataFiles(station_, folder);
    }
    // The row of the status screen that shows the stream `id` (80 columns); empty when none
    // does.
    std::string streamRow(const std::string& id) const;
    // Waits until the row of stream `id` shows the status word.
    ::testing::AssertionResult streamShows(const std::string& id, const std::string& status) const;

    // After the program ended: tmp holds no data file, and Data and ToSend hold the same
    // data files, every one whole, and nothing else.
    void expectEverythingHandedOver() const;

    MonitorLauncher launcher_{station_.path("launcher")};
};

}  // namespace torven::test
