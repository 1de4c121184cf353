#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace torven::test {

// A pseudo-terminal pair for tests: the program side (slave) is a real terminal, and the
// test side (master) types keys into it and reads what the program draws.
class PseudoTerminal {
  public:
    // With `raw` the program side passes bytes unchanged in both directions; otherwise it has
    // the usual line-editing settings a new terminal starts with.
    explicit PseudoTerminal(bool raw);
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    int programSide() const { return slave_; }
    int testSide() const { return master_; }

    // Bytes as if typed on the terminal's keyboard.
    void type(std::string_view bytes) const;
    // Closes the test side: the terminal hangs up.
    void hangUp();

  private:
    int master_ = -1;
    int slave_ = -1;
};

// Collects everything the program draws on a pseudo-terminal, on a thread of its own so that
// the program never blocks on a full terminal.
class TerminalOutput {
  public:
    explicit TerminalOutput(const PseudoTerminal& terminal);
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;
    ~TerminalOutput();

    // Writes a marker through the program side and returns everything drawn since the last
    // call, up to the marker. Since the marker follows the program's output on the same
    // terminal, all of that output has arrived once the marker has. Empty after 10 s.
    std::string takeOutput();

  private:
    void collect();

    int master_;
    int slave_;
    int stopPipe_[2] = {-1, -1};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string collected_;
    int markers_ = 0;
    std::thread reader_;
};

}  // namespace torven::test
