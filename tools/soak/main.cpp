// torven-soak: runs a whole station with simulated DI-194RS devices under scheduled faults
// and measures whether any due data row was lost.

#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "soak/FaultSchedule.h"
#include "soak/SoakPlan.h"
#include "soak/SoakReport.h"
#include "soak/SoakRun.h"
#include "soak/StopSignals.h"

namespace {

using torven::soak::FaultSchedule;
using torven::soak::SoakOptions;
using torven::soak::SoakPlan;

constexpr int kPassed = 0;
constexpr int kRowsLost = 1;
constexpr int kNotRun = 2;
constexpr int kLeastSeconds = 20;

void printUsage(std::ostream& out) {
    out << "usage: torven-soak [--devices N] [--seconds S] [--schedule LIST] [--monitor PATH] "
           "[--keep]\n"
           "  --devices N      simulated DI-194RS devices on COM1..COMN, 1 to 20 (16)\n"
           "  --seconds S      seconds of data collection before the stop, at least 20 (120)\n"
           "  --schedule LIST  faults and station events joined by commas; \"none\" for none:\n"
           "      DEVICE:FAULT  FAULT one of silent, flap:SECONDS, noframe, badnz, healthy\n"
           "      clock@T:+N    the monitor's clock steps N seconds forward (clock@T:-N: back)\n"
           "                    T seconds after data collection began\n"
           "      midnight@T    the monitor's clock starts so that it reaches a UTC midnight\n"
           "                    about T seconds after data collection began (steps before T\n"
           "                    counted; the start-up's length is estimated)\n"
           "      nodata@T:D    Data taken away at T and made again, empty, D seconds later\n"
           "      nosend@T:D    the same for ToSend\n"
           "      tmpfsdata     Data a link to a folder under /dev/shm, another filesystem\n"
           "      reload@T      Conf/TORVEN_config.txt rewritten with a comment line added\n"
           "                    (a new file renamed over the old one)\n"
           "      scan@T        Escape S typed to the monitor (the port scan), a key 5 s later\n"
           "                    to leave its result (scan@T:K: K s later; scan@T:stay: none)\n"
           "      calibrate@T:D Escape C typed, Escape D D seconds later; no rows are owed\n"
           "                    from 2 s before the first key to 2 s after the last is read\n"
           "      drop@T:N:D    the N highest-numbered healthy devices silent at once for D s;\n"
           "                    their rows are not owed from 1 s before to 6 s after, every\n"
           "                    other stream's are\n"
           "    default: 3:silent,5:flap:10,7:noframe,9:badnz (less the devices beyond N),\n"
           "             nodata@15:8,nosend@25:6,clock@35:-2,clock@45:+5,midnight@60,\n"
           "             clock@65:-25,clock@100:+3,drop@37:3:4 (fewer devices when fewer\n"
           "             than 4 are healthy),reload@48,scan@55:4,calibrate@92:6\n"
           "  --monitor PATH   the monitor program (" TORVEN_MONITOR_PATH
           ")\n"
           "  --keep           leave the station folder under /tmp for inspection\n"
           "The monitor runs on a pseudo-terminal of its own (keys are typed there), under\n"
           "libfaketime (Debian package faketime); rows are due at the seconds its clock lives\n"
           "for the first time: a step forward skips seconds, a step back owes nothing until\n"
           "the clock is past its last row again, and a second either side of a step owes\n"
           "nothing. Data files are read from tmp, Data, ToSend and the folders taken away,\n"
           "each row once from the longest copy of its file.\n"
           "Exit status: 0 when every healthy stream is complete and every stream's rows sound\n"
           "(no duplicate, off-schedule, wrong, malformed, out-of-order or other-day row, no\n"
           "file replaced by a shorter copy), 1 when not, 2 when the run could not be made.\n";
}

std::optional<int> wholeNumber(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 1000000) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// The options, or none after telling what is wrong.
std::optional<SoakOptions> parseOptions(int argc, char** argv) {
    SoakOptions options;
    options.monitor = TORVEN_MONITOR_PATH;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--keep") {
            options.keep = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::cerr << "torven-soak: " << option << " wants a value\n";
            printUsage(std::cerr);
            return std::nullopt;
        }
        const char* value = argv[++i];
        const auto number = wholeNumber(value);
        if (option == "--devices" && number && *number >= 1 && *number <= SoakPlan::kMaxDevices) {
            options.devices = *number;
        } else if (option == "--seconds" && number && *number >= kLeastSeconds) {
            options.seconds = *number;
        } else if (option == "--schedule") {
            options.schedule = value;
        } else if (option == "--monitor") {
            options.monitor = value;
        } else {
            std::cerr << "torven-soak: bad option " << option << " " << value << "\n";
            printUsage(std::cerr);
            return std::nullopt;
        }
    }
    if (options.schedule.empty())
        options.schedule = FaultSchedule::defaultText(options.devices);
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread is made, so that every simulator thread holds them back too.
    torven::soak::StopSignals signals;
    // A closed output (e.g. piped into head) must not kill the tool before it has cleaned up.
    signal(SIGPIPE, SIG_IGN);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(std::cout);
            return kPassed;
        }
    }
    const auto options = parseOptions(argc, argv);
    if (!options)
        return kNotRun;
    std::string message;
    const auto schedule = FaultSchedule::parse(options->schedule, options->devices, message);
    if (!schedule) {
        std::cerr << "torven-soak: " << message << "\n";
        return kNotRun;
    }
    std::cout << "torven-soak: " << options->devices << " devices, " << options->seconds
              << " s, schedule \"" << options->schedule << "\"; waiting for data collection...\n"
              << std::flush;
    const auto result = torven::soak::runSoak(*options, *schedule, signals, message);
    if (!result) {
        std::cerr << "torven-soak: " << message << "\n";
        return kNotRun;
    }
    torven::soak::printReport(std::cout, *result);
    return result->passed() ? kPassed : kRowsLost;
}
