#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/StationLock.h"
#include "shell/Program.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

class StationLockTest : public ::testing::Test {
  protected:
    std::string shownStation() const { return std::filesystem::canonical(station.root()); }

    test::ScratchStation station;
};

// A second opening of the lock file, as another monitor would make, is turned away and
// learns who holds the station.
TEST_F(StationLockTest, ASecondLockIsRefusedAndNamesTheHolder) {
    const StationLock first(stationLockFile);
    ASSERT_TRUE(first.held()) << first.problem();
    EXPECT_EQ(station.readFile("torven-monitor.lock"), std::to_string(::getpid()) + "\n");

    const StationLock second(stationLockFile);
    EXPECT_EQ(second.state(), StationLock::State::HeldByAnother);
    EXPECT_EQ(second.holderProcessId(), ::getpid());
    EXPECT_EQ(second.stationPath(), shownStation());
    EXPECT_EQ(stationRefusal(second), "torven-monitor: the station " + shownStation() +
                                          " is already monitored by process " +
                                          std::to_string(::getpid()) +
                                          "; this monitor ends without touching it.\n");
    // The one turned away leaves the holder's record alone.
    EXPECT_EQ(station.readFile("torven-monitor.lock"), std::to_string(::getpid()) + "\n");
}

// A lock file left by a monitor that is gone, or one whose text names no process, stands in
// nobody's way; the lock is free again once its holder goes away.
TEST_F(StationLockTest, IsFreeAgainOnceItsHolderIsGone) {
    station.writeFile("torven-monitor.lock", "4194303\nleft by a monitor long gone\n");
    std::optional<StationLock> first;
    first.emplace(stationLockFile);
    ASSERT_TRUE(first->held()) << first->problem();
    EXPECT_EQ(station.readFile("torven-monitor.lock"), std::to_string(::getpid()) + "\n");

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
    const std::string problem =
        shownStation() + "/Missing/torven-monitor.lock cannot be opened: No such file or directory";
    EXPECT_EQ(lock.problem(), problem);
    EXPECT_NE(stationRefusal(lock).find("cannot lock the station " + shownStation() + "/Missing (" +
                                        problem + ")"),
              std::string::npos)
        << stationRefusal(lock);
}

}  // namespace
}  // namespace torven::platform
