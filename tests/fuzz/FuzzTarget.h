#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The entry points of a fuzz target. libFuzzer calls them, and so does the replay program
// that runs the seed corpus and mutations of it in every test run.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace torven::fuzz {

// Ends the run with the broken rule; libFuzzer keeps the input as a crash reproducer.
[[noreturn]] inline void fail(const char* rule) {
    std::fprintf(stderr, "fuzz check failed: %s\n", rule);
    std::abort();
}

inline void check(bool holds, const char* rule) {
    if (!holds)
        fail(rule);
}

}  // namespace torven::fuzz
