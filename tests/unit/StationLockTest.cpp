#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/StationLock.h"
#include "shell/Program.h"
#include "support/HostSystem.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

using test::currentProcessId;

class StationLockTest : public ::testing::Test {
  protected:
    std::string shownStation() const { return std::filesystem::canonical(station.root()).string(); }
    // A path in the station as messages show it, with the system's separators.
    std::string shownPath(const std::string& relative) const {
        return (std::filesystem::canonical(station.root()) / relative).make_preferred().string();
    }

    test::ScratchStation station;
};

// A second opening of the lock file, as another monitor would make, is turned away and
// learns who holds the station.
TEST_F(StationLockTest, ASecondLockIsRefusedAndNamesTheHolder) {
    const StationLock first(stationLockFile);
    ASSERT_TRUE(first.held()) << first.problem();
    EXPECT_EQ(station.readFile("torven-monitor.lock"), std::to_string(currentProcessId()) + "\n");

    const StationLock second(stationLockFile);
    EXPECT_EQ(second.state(), StationLock::State::HeldByAnother);
    EXPECT_EQ(second.holderProcessId(), currentProcessId());
    EXPECT_EQ(second.stationPath(), shownStation());
    EXPECT_EQ(stationRefusal(second), "torven-monitor: the station " + shownStation() +
                                          " is already monitored by process " +
                                          std::to_string(currentProcessId()) +
                                          "; this monitor ends without touching it.\n");
    // The one turned away leaves the holder's record alone.
    EXPECT_EQ(station.readFile("torven-monitor.lock"), std::to_string(currentProcessId()) + "\n");
}

// A lock file left by a monitor that is gone, or one whose text names no process, stands in
// nobody's way; the lock is free again once its holder goes away.
TEST_F(StationLockTest, IsFreeAgainOnceItsHolderIsGone) {
    station.writeFile("torven-monitor.lock", "4194303\nleft by a monitor long gone\n");
    std::optional<StationLock> first;
    first.emplace(stationLockFile);
    ASSERT_TRUE(first->held()) << first->problem();
    EXPECT_EQ(station.readFile("torven-monitor.lock"), std::to_string(currentProcessId()) + "\n");

    station.writeFile("torven-monitor.lock", "");
    const StationLock refused(stationLockFile);
    EXPECT_EQ(refused.holderProcessId(), 0);
    EXPECT_NE(stationRefusal(refused).find("already monitored by another process;"),
              std::string::npos);

    first.reset();
    const StationLock again(stationLockFile);
    EXPECT_TRUE(again.held()) << again.problem();
}

// Without a usable lock file nothing can keep a second monitor out, so the start is refused.
TEST_F(StationLockTest, AnUnusableLockFileRefusesTheStart) {
    const StationLock lock("..\\Missing\\torven-monitor.lock");
    EXPECT_EQ(lock.state(), StationLock::State::Unusable);
    const std::string problem = shownPath("Missing/torven-monitor.lock") +
                                " cannot be opened: " + test::missingFolderErrorText();
    EXPECT_EQ(lock.problem(), problem);
    EXPECT_NE(stationRefusal(lock).find("cannot lock the station " + shownPath("Missing") + " (" +
                                        problem + ")"),
              std::string::npos)
        << stationRefusal(lock);
}

}  // namespace
}  // namespace torven::platform
