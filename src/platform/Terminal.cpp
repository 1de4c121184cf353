#include "platform/Terminal.h"

namespace torven::platform {

Terminal::~Terminal() {
    detach();
}

void Terminal::write(std::string_view bytes) {
    screen_.write(bytes);
    flush();
}

void Terminal::clear() {
    screen_.clear();
    flush();
}

void Terminal::moveCursor(int x, int y) {
    screen_.moveCursor(x, y);
    flush();
}

void Terminal::setAttribute(std::uint8_t attribute) {
    screen_.setAttribute(attribute);
    flush();
}

}  // namespace torven::platform
