#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "DataFileWriterFixture.h"

// A full disk is made with a limit on the size of files (RLIMIT_FSIZE) in a child process.
namespace torven {
namespace {

using test::DataFileWriterTest;
using test::firstFile;
using test::firstRowTime;
using test::row;
using test::ScriptedStream;

// Runs the ticks in a child process whose files cannot grow beyond fileLimit bytes (as on a
// full disk), then lifts the limit for one more tick. The child's exit status says whether
// the stream showed FILE WRITE ERROR during the failure and LOGGING after it.
void tickInChildWithFileLimit(SiteConfiguration& site, DataCollectionType& stream,
                              std::int64_t firstTick, int failingTicks, rlim_t fileLimit) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit full = limit;
        limit.rlim_cur = fileLimit;
        setrlimit(RLIMIT_FSIZE, &limit);
        bool reported = true;
        for (int tick = 0; tick < failingTicks; ++tick) {
            site.modeController.clock.setTo(firstTick + tick);
            site.modeController.dataLogger.writeTick(site);
            reported = reported && stream.status() == CollectionStatus::FileWriteError;
        }
        setrlimit(RLIMIT_FSIZE, &full);
        site.modeController.clock.setTo(firstTick + failingTicks);
        site.modeController.dataLogger.writeTick(site);
        const bool recovered = stream.status() == CollectionStatus::Logging;
        _exit(reported && recovered ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(DataFileWriterTest, ARowThatDoesNotFitOnTheDiskIsCutBackWhole) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    stream.header = "# " + std::string(300, 'h') + "\n";
    tickAt(firstRowTime);
    const std::string before = station.readFile("tmp/" + firstFile);
    const auto size = static_cast<rlim_t>(before.size());

    // Room for ten more bytes: each row would be cut off within.
    tickInChildWithFileLimit(site, stream, firstRowTime + 1, 3, size + 10);

    EXPECT_EQ(station.readFile("tmp/" + firstFile), before + row("2011-05-03 18:18:49"));
    EXPECT_EQ(station.readFile("Data/" + firstFile), station.readFile("tmp/" + firstFile));
    EXPECT_EQ(events("WARN"), std::vector<std::string>{"Can't write file:" + firstFile});
}

TEST_F(DataFileWriterTest, AHeaderThatDoesNotFitLeavesNoFileBehind) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    stream.header = "# " + std::string(400, 'h') + "\n";

    tickInChildWithFileLimit(site, stream, firstRowTime, 2, 200);

    // The file of the first failed row is gone; the row after the disk had room again wrote
    // a complete file under the name the stream kept.
    EXPECT_EQ(station.fileNames("tmp"), std::vector<std::string>{firstFile});
    EXPECT_EQ(station.readFile("tmp/" + firstFile),
              "# " + std::string(400, 'h') + "\r\n" + row("2011-05-03 18:18:47"));
    EXPECT_EQ(station.readFile("Data/" + firstFile), station.readFile("tmp/" + firstFile));
    EXPECT_EQ(events("WARN"), std::vector<std::string>{"Can't write file:" + firstFile});
}

}  // namespace
}  // namespace torven
