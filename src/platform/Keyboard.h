#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct termios;

namespace torven::platform {

// Reads key presses from a terminal without echo and without waiting for Enter; Control-C
// stays a signal. The terminal's settings are restored when the keyboard is released.
// Without a terminal no key ever arrives, and waitForKey returns at end of input.
class Keyboard {
public:
    Keyboard() = default;
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;
    ~Keyboard();

    // Takes the descriptor as the keyboard; raw mode when it is a terminal.
    void attach(int inputDescriptor);
    void detach();

    // 0 at once when no key is waiting; otherwise the whole key's code.
    int pollKey();
    // Blocks until a key arrives and returns its code; 0 at end of input or without input.
    int waitForKey();

    // Bytes that count as typed before anything from the terminal (tests).
    void feed(std::string_view bytes);

private:
    bool fillPending(int timeoutMilliseconds);
    std::optional<int> takeKey(bool waitForRest);

    std::string pending_;
    int input_ = -1;
    std::unique_ptr<termios> savedSettings_;
};

}  // namespace torven::platform
