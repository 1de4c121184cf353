#pragma once

#include <array>
#include <string>
#include <vector>

#include "../e2e/MonitorFixture.h"

namespace torven::test {

// The end-to-end fixture for the Windows program: the Linux fixture's scratch station, screen
// and file helpers, with torven-monitor.exe running under Wine in the 80 x 51 tmux pane.
// Settings from the environment:
//   TORVEN_WINDOWS_MONITOR  the .exe
//   WINEPREFIX              the prefix of a running Wine session (tools/wine-session.sh)
// The prefix is shared by tests that run side by side, so each test uses COM numbers of its
// own; only a test that runs the port scan may use COM1 to COM20, where the scan looks.
class WineMonitorFixture : public MonitorFixture {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A simulated DI-194RS behind Ports/COMn of the station, which COMn of the prefix leads to.
    sim::Di194RsSimulator& plugWineDevice(int port, const std::array<double, 4>& volts);
    // COMn of the prefix leads to nothing that opens as a port.
    void linkToNothing(int port);
    // Starts the .exe with TZ=UTC and the given arguments.
    void startWindowsMonitor(const std::vector<std::string>& arguments = {});

  private:
    void linkPort(int port, const std::filesystem::path& target);

    std::filesystem::path prefix_;
    std::vector<int> linkedPorts_;
};

// A site with one DI-194RS on COMn and the channels 1-4 recorded as NR1-NR4 at these rates (a
// channel whose rate is 0 is not recorded).
std::string deviceConfig(int port, const std::array<int, 4>& rates,
                         const std::string& site = "Test Ridge");
// tmp holds this many data files, each with at least `rows` rows.
bool rowsInTmp(const ScratchStation& station, std::size_t files, std::size_t rows);

inline const std::string calibrateName = "* * *  C A L I B R A T E  * * *";

// The status screen's rows 9-12 for that configuration, every recorded stream in `status`.
std::vector<std::string> deviceRows(int port, const std::array<int, 4>& rates,
                                    const std::string& status);

}  // namespace torven::test
