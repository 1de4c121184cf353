#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torven::platform {

// Reads key presses from a terminal (on Windows the console) without echo and without waiting
// for Enter; Control-C stays a stop request. The terminal's settings are restored when the
// keyboard is released.
// Another kind of input (a pipe, /dev/null) is read as it is, and waitForKey returns 0 at its
// end; without any input only fed bytes arrive.
class Keyboard {
  public:
    Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;
    ~Keyboard();

    // Takes the C runtime descriptor as the keyboard; raw mode when it is a terminal.
    void attach(int inputDescriptor);
    void detach();

    // 0 at once when no key is waiting; otherwise the whole key's code.
    int pollKey();
    // Blocks until a key arrives and returns its code; 0 at end of input or without input.
    int waitForKey();

    // Bytes that count as typed before anything from the terminal (tests).
    void feed(std::string_view bytes);

  private:
    // The system's side of a terminal taken as the keyboard: its saved settings, and on
    // Windows the keys read from the console but not yet taken.
    struct Native;

    bool fillPending(int timeoutMilliseconds);
    std::optional<int> takeKey();

    std::string pending_;  // bytes read but not yet decoded into a key
    int input_ = -1;
    bool endOfInput_ = false;
    std::unique_ptr<Native> native_;
};

}  // namespace torven::platform
