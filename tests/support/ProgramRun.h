#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace torven::test {

// One run of a helper program (curl, a browser, promtool, the monitor itself) to its end,
// with what it wrote. The program runs in a process group of its own, which is killed when it
// overruns its time or when the program has ended, so that no helper it started outlives it.
struct ProgramRun {
    struct Options {
        std::chrono::milliseconds timeout{60000};
        // Standard input; /dev/null unless given.
        std::filesystem::path input = "/dev/null";
        // A terminal for standard input and output instead (its program side); output then
        // stays empty.
        int terminal = -1;
    };

    // The exit status (128 + n after signal n); none when the program did not end in time
    // or could not be started.
    std::optional<int> status;
    std::string output;     // standard output
    std::string errorText;  // standard error

    // Runs arguments[0] (searched in PATH) with the others as its arguments, in the current
    // working directory.
    static ProgramRun toEnd(const std::vector<std::string>& arguments, const Options& options);
};

}  // namespace torven::test
