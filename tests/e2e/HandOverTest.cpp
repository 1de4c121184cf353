#include <filesystem>

#include "FaultFixture.h"
#include "support/ForeignFolder.h"

namespace torven::test {
namespace {

namespace fs = std::filesystem;

// A file of an earlier day, for the hand-over at the next quarter minute.
const std::string oldFile = "20110503_181845_OLD_000001.csv";
const std::string oldContent = "# Site = Old\r\n2011-05-03 18:18:45, +1.234\r\n";

const std::string twoStreams = "SITE = Test Ridge\nDEVICE = DI-194RS, PORT = COM1\n" +
                               koraliChannelLine(1, "NR1", 1) + koraliChannelLine(2, "NR2", 1);

class HandOverTest : public FaultFixture {
  protected:
    void TearDown() override {
        FaultFixture::TearDown();
        foreign_.reset();
    }

    std::unique_ptr<ForeignFolder> foreign_ = std::make_unique<ForeignFolder>();
};

TEST_F(HandOverTest, DataOnAnotherDiskTakesFinishedFilesAndToSendGetsThemOnce) {
    ASSERT_TRUE(foreign_->linkFrom(station_.path("Data")));
    plugDevice(1, deviceVolts);
    writeConfig(twoStreams);
    // A copy cut short by a power cut, which the start clears away.
    const std::string cutShort = "Data/." + oldFile + ".part";
    station_.writeFile(cutShort, "# Site = Old\r\n2011-05-0");
    startLaunchedMonitor();
    ASSERT_TRUE(eventually([&] { return dataFiles("Data").size() == 2; }, screenTimeout));
    EXPECT_FALSE(station_.exists(cutShort));

    station_.writeFile("tmp/" + oldFile, oldContent);
    ASSERT_TRUE(eventually([&] { return !station_.exists("tmp/" + oldFile); }, screenTimeout))
        << "the earlier day's file never left tmp";
    EXPECT_EQ(station_.readFile("Data/" + oldFile), oldContent);
    EXPECT_EQ(station_.readFile("ToSend/" + oldFile), oldContent);

    // The transfer takes it; the next quarter minute does not bring it back.
    fs::rename(station_.path("ToSend/" + oldFile), station_.path(oldFile));
    ASSERT_TRUE(clockAdvances(16));
    EXPECT_FALSE(station_.exists("ToSend/" + oldFile));

    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(terminalGivenBack());
    fs::rename(station_.path(oldFile), station_.path("ToSend/" + oldFile));
    expectEverythingHandedOver();
    EXPECT_EQ(dataFiles("Data").size(), 3u) << joinLines(dataFiles("Data"));
    EXPECT_TRUE(logMessages("WARN").empty()) << joinLines(logMessages("WARN"));
}

}  // namespace
}  // namespace torven::test
