#pragma once

#include <termios.h>

namespace torven::platform {

// The terminal settings a crash or exitProcess puts back on the descriptor; the keyboard records
// them when it takes a terminal and forgets them (nullptr) when it gives it back.
void rememberTerminalSettings(int descriptor, const termios* settings);

}  // namespace torven::platform
