#include "platform/Keyboard.h"

namespace torven::platform {

int Keyboard::pollKey() {
    // Only a terminal is polled: input from a pipe or a file is not an operator at the
    // keyboard, so a service's or a scheduled task's standard input never selects a mode or a
    // menu entry.
    if (native_)
        fillPending(0);
    return takeKey().value_or(0);
}

int Keyboard::waitForKey() {
    for (;;) {
        if (const auto key = takeKey())
            return *key;
        if (input_ < 0 || endOfInput_)
            return 0;
        fillPending(-1);
    }
}

void Keyboard::feed(std::string_view bytes) {
    pending_.append(bytes);
}

}  // namespace torven::platform
