#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ScreenBuffer.h"

namespace torven::platform {

// Mirrors a ScreenBuffer onto a real terminal: with ECMA-48 escape sequences on Linux, with
// the console API on Windows. After every change the cells that differ from what the terminal
// was last sent are redrawn, so the terminal always shows exactly the shadow screen: wrapping
// and scrolling never get out of step. Control bytes and bytes above 0x7E go to the terminal
// as '?'. Without an output (not attached, or not a terminal) only the shadow is kept.
class Terminal {
  public:
    Terminal() = default;
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal();

    // Starts drawing on the given C runtime descriptor when it is a terminal, beginning with the
    // whole screen; true when it is.
    bool attach(int outputDescriptor);
    // Resets the terminal's colours, shows its cursor and stops drawing; the picture and the
    // cursor position stay as they are.
    void detach();
    bool attached() const { return output_ >= 0; }

    void write(std::string_view bytes);
    void clear();
    void moveCursor(int x, int y);
    void setAttribute(std::uint8_t attribute);
    // Asks the terminal to resize its window; ignored where unsupported.
    void requestWindowSize(int columns, int rows);

    const ScreenBuffer& screen() const { return screen_; }

  private:
    // Draws what changed since the last flush, puts the terminal's cursor where the shadow's
    // is and leaves the terminal in the current colours.
    void flush();

    ScreenBuffer screen_;
    ScreenBuffer shown_;  // what the terminal was last sent
    bool shownValid_ = false;
    std::optional<std::uint8_t> sentAttribute_;  // the terminal's colours, when known
    int output_ = -1;
};

}  // namespace torven::platform
