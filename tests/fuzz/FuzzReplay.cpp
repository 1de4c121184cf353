// Runs a fuzz target without libFuzzer: every seed input given (files, or folders of them),
// then a fixed series of pseudo-random mutations of them. The series is the same on every
// run, so a failure found here comes back on the next one. Each input is written to
// fuzz-replay-input in the working directory before it runs, so that an input which breaks
// the target stays there as its reproducer.
//
//     fuzz_replay_<target> [--mutations N] corpus-folder-or-file...

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"

namespace {

namespace fs = std::filesystem;
using Input = std::vector<std::uint8_t>;

Input readInput(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Input> readSeeds(const std::vector<fs::path>& paths) {
    std::vector<fs::path> files;
    for (const fs::path& path : paths) {
        if (!fs::is_directory(path)) {
            files.push_back(path);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<Input> seeds;
    for (const fs::path& file : files)
        seeds.push_back(readInput(file));
    return seeds;
}

// Bytes that mean something to the targets: item and line structure, frame-start bits.
constexpr std::uint8_t interestingBytes[] = {' ', ',',  '=',  '#',  '\n', '\r', '\t',
                                             '*', 0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};

class Mutator {
  public:
    // seeds must not be empty.
    explicit Mutator(const std::vector<Input>& seeds) : seeds_(seeds) {}

    Input next() {
        Input input = seeds_[below(seeds_.size())];
        const std::size_t changes = 1 + below(4);
        for (std::size_t change = 0; change < changes; ++change)
            mutate(input);
        return input;
    }

  private:
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : random_() % bound; }

    std::uint8_t someByte() {
        if (below(2) == 0)
            return interestingBytes[below(std::size(interestingBytes))];
        return static_cast<std::uint8_t>(random_());
    }

    void mutate(Input& input) {
        const std::size_t at = below(input.size() + 1);
        switch (below(7)) {
            case 0:
                if (at < input.size())
                    input[at] = static_cast<std::uint8_t>(input[at] ^ (1u << below(8)));
                break;
            case 1:
                if (at < input.size())
                    input[at] = someByte();
                break;
            case 2:
                input.insert(input.begin() + static_cast<long>(at), someByte());
                break;
            case 3:
                input.erase(input.begin() + static_cast<long>(at),
                            input.begin() + static_cast<long>(at + below(input.size() - at + 1)));
                break;
            case 4: {
                // Items longer than the reader keeps.
                const std::size_t length = 1000 + below(1200);
                input.insert(input.begin() + static_cast<long>(at), length, someByte());
                break;
            }
            case 5: {
                const Input& other = seeds_[below(seeds_.size())];
                const std::size_t from = below(other.size() + 1);
                const Input piece(
                    other.begin() + static_cast<long>(from),
                    other.begin() + static_cast<long>(from + below(other.size() - from + 1)));
                input.insert(input.begin() + static_cast<long>(at), piece.begin(), piece.end());
                break;
            }
            default:
                input.resize(at);
                break;
        }
    }

    const std::vector<Input>& seeds_;
    std::mt19937_64 random_{20110503};
};

void keep(const fs::path& path, const Input& input) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(input.data()), static_cast<long>(input.size()));
}

void run(const fs::path& keptAt, const Input& input) {
    keep(keptAt, input);
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t mutations = 0;
    std::vector<fs::path> paths;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument == "--mutations" && index + 1 < argc)
            mutations = std::stoul(argv[++index]);
        else
            paths.emplace_back(argument);
    }
    const std::vector<Input> seeds = readSeeds(paths);
    if (seeds.empty()) {
        std::fprintf(stderr, "no seed inputs\n");
        return 1;
    }
    // Taken before the target starts, as it may change the working directory.
    const fs::path keptAt = fs::absolute("fuzz-replay-input");
    LLVMFuzzerInitialize(&argc, &argv);

    for (const Input& seed : seeds)
        run(keptAt, seed);
    Mutator mutator(seeds);
    for (std::size_t mutation = 0; mutation < mutations; ++mutation)
        run(keptAt, mutator.next());
    fs::remove(keptAt);
    std::printf("fuzz replay: %zu seed inputs and %zu mutations run\n", seeds.size(), mutations);
    return 0;
}
