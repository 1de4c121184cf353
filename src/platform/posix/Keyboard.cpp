#include "platform/Keyboard.h"

#include <errno.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/KeyDecoder.h"
#include "platform/SignalWatcher.h"
#include "platform/posix/TerminalSettings.h"

namespace torven::platform {

namespace {

// How long the rest of an escape sequence may take after its ESC before the ESC counts as
// the Escape key on its own.
constexpr int escapeSequenceWaitMilliseconds = 50;
constexpr std::size_t readChunk = 64;

}  // namespace

struct Keyboard::Native {
    termios savedSettings;
};

Keyboard::Keyboard() = default;

Keyboard::~Keyboard() {
    detach();
}

void Keyboard::attach(int inputDescriptor) {
    detach();
    input_ = inputDescriptor;
    endOfInput_ = false;
    termios settings{};
    if (::isatty(inputDescriptor) == 0 || ::tcgetattr(inputDescriptor, &settings) != 0)
        return;
    native_ = std::make_unique<Native>(Native{settings});
    rememberTerminalSettings(inputDescriptor, &settings);
    // Keys arrive one by one and unechoed; Control-C stays a signal.
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    settings.c_lflag |= ISIG;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(inputDescriptor, TCSANOW, &settings);
}

void Keyboard::detach() {
    if (native_) {
        ::tcsetattr(input_, TCSANOW, &native_->savedSettings);
        rememberTerminalSettings(-1, nullptr);
        native_.reset();
    }
    input_ = -1;
}

// Reads what the input holds once it is readable within the time-out (-1: no limit); true
// when bytes were added.
bool Keyboard::fillPending(int timeoutMilliseconds) {
    if (input_ < 0 || endOfInput_)
        return false;
    pollfd ready{input_, POLLIN, 0};
    int events = 0;
    do {
        events = ::poll(&ready, 1, timeoutMilliseconds);
    } while (events < 0 && errno == EINTR);
    if (events < 0)
        endOfInput_ = true;
    if (events <= 0)
        return false;

    char buffer[readChunk];
    ssize_t count = 0;
    do {
        count = ::read(input_, buffer, sizeof buffer);
    } while (count < 0 && errno == EINTR);
    if (count > 0) {
        pending_.append(buffer, static_cast<std::size_t>(count));
        return true;
    }
    // A terminal reads nothing also when another reader was quicker; only a hang-up or an
    // error ends it. Anything else has ended when a read finds nothing.
    const bool hungUp = (ready.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (count < 0 ? errno != EAGAIN : (!native_ || hungUp))
        endOfInput_ = true;
    return false;
}

// The first whole key of the pending bytes. The rest of a begun escape sequence is waited
// for briefly; when it does not come, what is there is decoded as it stands.
std::optional<int> Keyboard::takeKey() {
    auto key = decodeKey(pending_, false);
    while (!key && !pending_.empty()) {
        const bool more = fillPending(escapeSequenceWaitMilliseconds);
        key = decodeKey(pending_, !more);
    }
    if (!key)
        return std::nullopt;
    pending_.erase(0, key->length);
    return key->code;
}

}  // namespace torven::platform
