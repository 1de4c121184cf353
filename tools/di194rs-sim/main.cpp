// di194rs-sim: a simulated DI-194RS behind a pseudo-terminal, for demonstrations, soak runs and
// end-to-end tests.
//
//   di194rs-sim --link PATH [--channel N=SIGNAL]... [--control FIFO] [--verbose]
//
// SIGNAL is const:V, ramp:MID:AMP:PERIOD or sine:MID:AMP:PERIOD (volts, seconds). While it
// runs it takes one command per line from standard input and from the control FIFO: silent,
// resume, unplug, plug, noframe, badnz, quit. It ends on quit, SIGINT or SIGTERM, leaving the
// link dangling.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "di194rs-sim/Di194RsSimulator.h"

namespace {

using torven::sim::ChannelSignal;
using torven::sim::Di194RsSimulator;

struct Options {
    std::string linkPath;
    std::string controlPath;
    std::map<int, ChannelSignal> signals;
    bool verbose = false;
};

void printUsage() {
    std::cerr << "usage: di194rs-sim --link PATH [--channel N=const:V | "
                 "N=ramp:MID:AMP:PERIOD | N=sine:MID:AMP:PERIOD]... [--control FIFO] "
                 "[--verbose]\n";
}

std::optional<double> parseNumber(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return value;
}

std::vector<std::string> splitFields(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        fields.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return fields;
        start = end + 1;
    }
}

// "N=const:V", "N=ramp:MID:AMP:PERIOD" or "N=sine:MID:AMP:PERIOD".
bool parseChannel(const std::string& text, Options& options) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos)
        return false;
    const auto channel = parseNumber(text.substr(0, equals));
    if (!channel || *channel < 1 || *channel > 4 || *channel != static_cast<int>(*channel)) {
        return false;
    }
    const std::vector<std::string> fields = splitFields(text.substr(equals + 1), ':');
    std::vector<double> numbers;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const auto number = parseNumber(fields[i]);
        if (!number)
            return false;
        numbers.push_back(*number);
    }
    ChannelSignal signal;
    if (fields[0] == "const" && numbers.size() == 1) {
        signal.volts = numbers[0];
    } else if ((fields[0] == "ramp" || fields[0] == "sine") && numbers.size() == 3 &&
               numbers[2] > 0.0) {
        signal.shape =
            fields[0] == "ramp" ? ChannelSignal::Shape::Ramp : ChannelSignal::Shape::Sine;
        signal.volts = numbers[0];
        signal.amplitude = numbers[1];
        signal.periodSeconds = numbers[2];
    } else {
        return false;
    }
    options.signals[static_cast<int>(*channel)] = signal;
    return true;
}

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--link" && hasValue) {
            options.linkPath = argv[++i];
        } else if (argument == "--control" && hasValue) {
            options.controlPath = argv[++i];
        } else if (argument == "--channel" && hasValue) {
            if (!parseChannel(argv[++i], options)) {
                std::cerr << "di194rs-sim: bad channel signal: " << argv[i] << "\n";
                return std::nullopt;
            }
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            return std::nullopt;
        }
    }
    if (options.linkPath.empty())
        return std::nullopt;
    return options;
}

// The write end of the pipe that turns SIGINT and SIGTERM into input for the main loop.
int signalPipeWrite = -1;

extern "C" void onStopSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipeWrite, &byte, 1);
    errno = savedErrno;
}

bool installStopSignals(int& signalPipeRead) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    signalPipeRead = ends[0];
    signalPipeWrite = ends[1];
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Run in the background of a terminal, a read of standard input then fails instead of
    // stopping the process, and the simulator goes on with its control FIFO alone.
    ::signal(SIGTTIN, SIG_IGN);
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// Opens the control FIFO, making it when it is not there. It is opened for reading and
// writing, so that it never reports end of input when a writer closes it.
int openControlFifo(const std::string& path, bool& made) {
    made = false;
    if (::mkfifo(path.c_str(), 0600) == 0) {
        made = true;
    } else if (errno != EEXIST) {
        return -1;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISFIFO(status.st_mode))
        return -1;
    return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

enum class Outcome { Continue, Quit };

Outcome runCommand(const std::string& command, Di194RsSimulator& simulator) {
    using Fault = Di194RsSimulator::Fault;
    if (command.empty())
        return Outcome::Continue;
    if (command == "quit")
        return Outcome::Quit;
    if (command == "silent") {
        simulator.setFault(Fault::Silent);
    } else if (command == "resume") {
        simulator.setFault(Fault::None);
    } else if (command == "noframe") {
        simulator.setFault(Fault::NoFrameStart);
    } else if (command == "badnz") {
        simulator.setFault(Fault::WrongNzReply);
    } else if (command == "unplug") {
        simulator.unplug();
    } else if (command == "plug") {
        if (!simulator.plug())
            std::cerr << "di194rs-sim: cannot plug in a new pty\n";
    } else {
        std::cerr << "di194rs-sim: unknown command: " << command << "\n";
    }
    return Outcome::Continue;
}

// Lines arriving in pieces from one input.
class LineInput {
  public:
    explicit LineInput(int descriptor) : descriptor_(descriptor) {}
    int descriptor() const { return descriptor_; }
    bool open() const { return descriptor_ >= 0; }

    // Reads what is there; every complete line goes to `handle`. Quit as soon as a line says so.
    // At end of input the input is closed (the program goes on with its other inputs).
    template <typename Handle>
    Outcome readLines(Handle handle) {
        char bytes[256];
        const ssize_t count = ::read(descriptor_, bytes, sizeof bytes);
        if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
            descriptor_ = -1;
            return Outcome::Continue;
        }
        if (count < 0)
            return Outcome::Continue;
        pending_.append(bytes, static_cast<std::size_t>(count));
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            const std::size_t first = line.find_first_not_of(" \t\r");
            const std::size_t last = line.find_last_not_of(" \t\r");
            line = first == std::string::npos ? "" : line.substr(first, last - first + 1);
            if (handle(line) == Outcome::Quit)
                return Outcome::Quit;
        }
        return Outcome::Continue;
    }

  private:
    int descriptor_;
    std::string pending_;
};

int runSimulator(const Options& options) {
    int signalPipeRead = -1;
    if (!installStopSignals(signalPipeRead)) {
        std::cerr << "di194rs-sim: cannot install signal handlers\n";
        return 1;
    }
    bool madeFifo = false;
    LineInput control(-1);
    if (!options.controlPath.empty()) {
        control = LineInput(openControlFifo(options.controlPath, madeFifo));
        if (!control.open()) {
            std::cerr << "di194rs-sim: cannot open control FIFO " << options.controlPath << ": "
                      << std::strerror(errno) << "\n";
            return 1;
        }
    }

    Di194RsSimulator simulator(options.linkPath);
    if (options.verbose) {
        simulator.setReporter([](const std::string& line) {
            std::printf("di194rs-sim: %s\n", line.c_str());
            std::fflush(stdout);
        });
    }
    for (const auto& [channel, signal] : options.signals)
        simulator.setSignal(channel, signal);
    if (!simulator.start()) {
        std::cerr << "di194rs-sim: cannot open a pseudo-terminal for " << options.linkPath << "\n";
        return 1;
    }

    LineInput input(STDIN_FILENO);
    const auto handle = [&simulator](const std::string& line) {
        return runCommand(line, simulator);
    };
    bool quit = false;
    while (!quit) {
        pollfd entries[3] = {{signalPipeRead, POLLIN, 0},
                             {input.descriptor(), POLLIN, 0},
                             {control.descriptor(), POLLIN, 0}};
        if (::poll(entries, 3, -1) < 0 && errno != EINTR)
            break;
        if (entries[0].revents != 0)
            break;
        if (entries[1].revents != 0)
            quit = input.readLines(handle) == Outcome::Quit;
        if (!quit && entries[2].revents != 0)
            quit = control.readLines(handle) == Outcome::Quit;
    }

    simulator.stop();
    if (control.open())
        ::close(control.descriptor());
    if (madeFifo)
        ::unlink(options.controlPath.c_str());
    if (options.verbose)
        std::printf("di194rs-sim: ended\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parseOptions(argc, argv);
    if (!options) {
        printUsage();
        return 2;
    }
    return runSimulator(*options);
}
