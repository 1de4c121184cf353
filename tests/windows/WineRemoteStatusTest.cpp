// The remote status of torven-monitor.exe under Wine, asked with curl from the Linux side: the
// same streams and states as the screen, and the requests it must refuse.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "WineMonitorFixture.h"

namespace torven::test {
namespace {

using WineRemoteStatusTest = WineMonitorFixture;

constexpr int port = 25;
constexpr std::array<int, 4> twoStreams{1, 1, 0, 0};
const std::string token = "w1ne-t0ken";

// A TCP port of 127.0.0.1 that was free a moment ago.
std::uint16_t freeLoopbackPort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(socket);
    return bound ? ntohs(address.sin_port) : 0;
}

struct Answer {
    int status = 0;
    std::string head;
    std::string body;
};

// curl's answer to a request with these options; status 0 when curl got none.
Answer curl(const std::vector<std::string>& options) {
    std::string command = "curl --silent --include --max-time 30";
    for (const std::string& option : options)
        command += " '" + option + "'";
    const std::unique_ptr<FILE, int (*)(FILE*)> output(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    char buffer[4096];
    for (std::size_t count;
         output && (count = std::fread(buffer, 1, sizeof buffer, output.get())) > 0;)
        text.append(buffer, count);
    Answer answer;
    const std::size_t end = text.find("\r\n\r\n");
    if (!text.starts_with("HTTP/1.1 ") || end == std::string::npos)
        return answer;
    answer.status = std::stoi(text.substr(9, 3));
    answer.head = text.substr(0, end + 2);
    answer.body = text.substr(end + 4);
    return answer;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string streamLabels(int channel) {
    return "stream=\"NR" + std::to_string(channel) + "_000123\",port=\"COM" + std::to_string(port) +
           "\",channel=\"" + std::to_string(channel) + "\"";
}

TEST_F(WineRemoteStatusTest, AnswersWithWhatTheScreenShowsAndRefusesWhatItMust) {
    const std::uint16_t httpPort = freeLoopbackPort();
    ASSERT_NE(httpPort, 0);
    const std::string base = "http://127.0.0.1:" + std::to_string(httpPort);
    const std::string bearer = "Authorization: Bearer " + token;
    station_.writeFile("Conf/remote-token.txt", token + "\r\n");
    plugWineDevice(port, deviceVolts);
    writeConfig(deviceConfig(port, twoStreams));
    startWindowsMonitor({"--http", "127.0.0.1:" + std::to_string(httpPort), "--http-token-file",
                         "..\\Conf\\remote-token.txt"});
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceRows(port, twoStreams, "LOGGING")));

    Answer metrics;
    ASSERT_TRUE(eventually(
        [&] {
            metrics = curl({"--header", bearer, base + "/metrics"});
            return contains(metrics.body,
                            "torven_stream_status{" + streamLabels(2) + ",status=\"LOGGING\"} 1\n");
        },
        screenTimeout))
        << metrics.status << "\n"
        << metrics.body;
    EXPECT_TRUE(contains(metrics.body,
                         "torven_stream_status{" + streamLabels(1) + ",status=\"LOGGING\"} 1\n"));
    EXPECT_TRUE(contains(metrics.body, "torven_mode{mode=\"DATALOG\"} 1\n"));
    EXPECT_TRUE(contains(metrics.body,
                         "torven_device_connected{port=\"COM" + std::to_string(port) + "\"} 1\n"));
    EXPECT_FALSE(contains(metrics.body, "stream=\"NR3_")) << "channel 3 is not recorded";

    const Answer json = curl({"--header", bearer, base + "/status.json"});
    EXPECT_EQ(json.status, 200);
    EXPECT_TRUE(contains(json.head, "Content-Type: application/json")) << json.head;
    for (const char* stream : {"NR1_000123", "NR2_000123"}) {
        EXPECT_TRUE(contains(json.body, "\"id\":\"" + std::string(stream) +
                                            "\",\"type\":\"KORALI-VX\",\"status\":\"LOGGING\""))
            << json.body;
    }

    const Answer page = curl({"--header", bearer, base + "/"});
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(contains(page.head, "Content-Type: text/html")) << page.head;
    EXPECT_TRUE(contains(page.body, "NR1_000123") && contains(page.body, "LOGGING"));

    EXPECT_EQ(curl({base + "/metrics"}).status, 401) << "no token";
    EXPECT_EQ(curl({"--header", "Authorization: Bearer not-" + token, base + "/"}).status, 401);
    EXPECT_EQ(curl({"--header", bearer, "--data", "x", base + "/metrics"}).status, 405);
    const int longPath = curl({"--header", bearer, base + "/" + std::string(20000, 'a')}).status;
    EXPECT_TRUE(longPath == 414 || longPath == 431) << longPath;
    const int bigField =
        curl({"--header", bearer, "--header", "X-Big: " + std::string(20000, 'b'), base + "/"})
            .status;
    EXPECT_TRUE(bigField == 414 || bigField == 431) << bigField;

    EXPECT_EQ(quit(), 0);
}

}  // namespace
}  // namespace torven::test
