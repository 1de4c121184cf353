#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "RemoteStatusFixture.h"

namespace torven::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int deviceCount = 3;
constexpr int idleCount = 200;
constexpr int requestThreads = 10;
// 50 requests a second in all, for a minute.
constexpr auto requestInterval = 20ms;
constexpr auto loadTime = 60s;
const std::array<std::string, 3> paths{"/metrics", "/status.json", "/"};

std::string streamId(int device, int channel) {
    return "L" + std::to_string(device) + std::to_string(channel) + "_000123";
}

// Channels 1 and 2 of each device, a row every second.
std::string loadConfig() {
    std::string config = "SITE = Test Ridge\n";
    for (int device = 1; device <= deviceCount; ++device) {
        const std::string station = "L" + std::to_string(device);
        config += "DEVICE = DI-194RS, PORT = COM" + std::to_string(device) + "\n" +
                  koraliChannelLine(1, station + "1", 1) + koraliChannelLine(2, station + "2", 1);
    }
    return config;
}

// A connection to 127.0.0.1:port whose reads and writes give up after 20 s; -1 when none
// could be made.
int connectTo(std::uint16_t port) {
    const int connection = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connection < 0)
        return -1;
    const timeval limit{20, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(connection);
        return -1;
    }
    return connection;
}

// One GET on a connection of its own, read to the end; the answer's status, 0 when none came.
int requestStatus(std::uint16_t port, const std::string& path) {
    const int connection = connectTo(port);
    if (connection < 0)
        return 0;
    const std::string request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::string answer;
    if (::send(connection, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
        char buffer[16384];
        for (ssize_t count; (count = ::recv(connection, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(connection);
    if (!answer.starts_with("HTTP/1.1 ") || answer.size() < 12)
        return 0;
    return std::atoi(answer.substr(9, 3).c_str());
}

// Connections that never send a byte, held open on a thread of their own for as long as this
// lives: one that the server closes is made again at once.
class IdleConnections {
  public:
    IdleConnections(std::uint16_t port, int count)
        : port_(port),
          connections_(static_cast<std::size_t>(count), -1),
          closes_(static_cast<std::size_t>(count), 0),
          holder_([this] { hold(); }) {}
    IdleConnections(const IdleConnections&) = delete;
    IdleConnections& operator=(const IdleConnections&) = delete;
    ~IdleConnections() {
        stop_ = true;
        holder_.join();
        for (const int connection : connections_) {
            if (connection >= 0)
                ::close(connection);
        }
    }

    // The connections open now.
    int open() const { return open_; }
    // How often the server closed the connection it closed least often.
    int fewestCloses() const {
        const std::lock_guard lock(mutex_);
        return *std::min_element(closes_.begin(), closes_.end());
    }

  private:
    void hold() {
        while (!stop_) {
            std::vector<pollfd> watched;
            std::vector<std::size_t> slots;
            for (std::size_t slot = 0; slot < connections_.size(); ++slot) {
                if (connections_[slot] < 0)
                    connections_[slot] = connectTo(port_);
                if (connections_[slot] >= 0) {
                    watched.push_back({connections_[slot], POLLIN | POLLRDHUP, 0});
                    slots.push_back(slot);
                }
            }
            open_ = static_cast<int>(watched.size());
            ::poll(watched.data(), watched.size(), 100);
            for (std::size_t index = 0; index < watched.size(); ++index) {
                if (watched[index].revents != 0)
                    closedByServer(slots[index]);
            }
        }
    }

    void closedByServer(std::size_t slot) {
        ::close(connections_[slot]);
        connections_[slot] = -1;
        const std::lock_guard lock(mutex_);
        ++closes_[slot];
    }

    std::uint16_t port_;
    std::vector<int> connections_;
    mutable std::mutex mutex_;
    std::vector<int> closes_;
    std::atomic<bool> stop_{false};
    std::atomic<int> open_{0};
    std::thread holder_;
};

// The statuses of the answers to requests sent at a steady rate from several threads.
class RequestLoad {
  public:
    void run(std::uint16_t port) {
        const auto start = Clock::now();
        std::vector<std::thread> threads;
        for (int thread = 0; thread < requestThreads; ++thread)
            threads.emplace_back([this, port, start, thread] { sendFrom(port, start, thread); });
        for (std::thread& thread : threads)
            thread.join();
    }

    std::map<int, int> statuses() const {
        const std::lock_guard lock(mutex_);
        return statuses_;
    }

  private:
    void sendFrom(std::uint16_t port, Clock::time_point start, int thread) {
        for (int turn = 0;; ++turn) {
            const int request = turn * requestThreads + thread;
            const auto due = start + request * requestInterval;
            if (due >= start + loadTime)
                return;
            std::this_thread::sleep_until(due);
            const int status =
                requestStatus(port, paths[static_cast<std::size_t>(request) % paths.size()]);
            const std::lock_guard lock(mutex_);
            ++statuses_[status];
        }
    }

    mutable std::mutex mutex_;
    std::map<int, int> statuses_;
};

using RemoteStatusLoadTest = RemoteStatusFixture;

// A minute of steady requests to every path while 200 connections sit idle: the requests are
// answered, the idle connections are closed by the server, and the streams of six devices'
// channels still get a row every second.
TEST_F(RemoteStatusLoadTest, RequestsAndIdleConnectionsCostNoRow) {
    for (int device = 1; device <= deviceCount; ++device)
        plugDevice(device, deviceVolts);
    writeConfig(loadConfig());
    startServing();
    ASSERT_TRUE(
        eventually([&] { return dataFiles("tmp").size() == 2 * deviceCount; }, screenTimeout))
        << joinLines(dataFiles("tmp")) << monitor().screenText();

    RequestLoad load;
    {
        const IdleConnections idle(port_, idleCount);
        ASSERT_TRUE(eventually([&] { return idle.open() == idleCount; }, screenTimeout));
        load.run(port_);
        EXPECT_GE(idle.fewestCloses(), 1) << "idle connections are closed by the server";
    }
    const std::map<int, int> statuses = load.statuses();
    int sent = 0;
    for (const auto& [status, count] : statuses)
        sent += count;
    EXPECT_GE(statuses.count(200) ? statuses.at(200) : 0, sent * 9 / 10)
        << ::testing::PrintToString(statuses);
    for (const auto& [status, count] : statuses)
        EXPECT_TRUE(status == 200 || status == 0) << status << " x " << count;
    EXPECT_EQ(http().get("/metrics").status, 200);
    ASSERT_TRUE(clockAdvances(1));
    EXPECT_EQ(quit(), 0);

    const std::map<std::string, std::string> files = readDataFiles(station_, "ToSend");
    std::map<std::string, std::vector<std::time_t>> rowTimes;
    for (const auto& [name, content] : files) {
        EXPECT_TRUE(isWholeDataFile(content)) << name;
        for (const std::string& row : wholeRows(content))
            rowTimes[name.substr(16)].push_back(parseDateTime(row.substr(0, 19)).value_or(0));
    }
    std::set<std::string> streams;
    for (const auto& [nameEnd, times] : rowTimes)
        streams.insert(nameEnd);
    std::set<std::string> expected;
    for (int device = 1; device <= deviceCount; ++device) {
        for (int channel = 1; channel <= 2; ++channel)
            expected.insert(streamId(device, channel) + ".csv");
    }
    ASSERT_EQ(streams, expected) << "one file for each stream";
    for (const auto& [stream, times] : rowTimes) {
        ASSERT_GE(times.size(), 60u) << stream;
        for (std::size_t index = 1; index < times.size(); ++index) {
            EXPECT_EQ(times[index], times[index - 1] + 1)
                << stream << ": after " << times[index - 1] - times.front() << " s";
        }
    }
}

}  // namespace
}  // namespace torven::test
