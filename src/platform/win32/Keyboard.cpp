#include "platform/Keyboard.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <deque>

#include "platform/KeyDecoder.h"

namespace torven::platform {

namespace {

constexpr ULONGLONG consoleWaitMilliseconds = 50;

HANDLE handleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

// The code of a key without a character, as the console's own key reading reports it (Wine
// reports Escape, Enter and Backspace without their character, too); none
// for a key that is no key press of its own (Shift, Control, Alt, the lock keys).
std::optional<int> codeOfVirtualKey(WORD key) {
    if (key >= VK_F1 && key <= VK_F10)
        return keys::f1 + (key - VK_F1) * 256;
    switch (key) {
        case VK_ESCAPE:
            return keys::escape;
        case VK_RETURN:
            return keys::enter;
        case VK_BACK:
            return keys::backspace;
        case VK_HOME:
            return keys::home;
        case VK_UP:
            return keys::up;
        case VK_PRIOR:
            return keys::pageUp;
        case VK_LEFT:
            return keys::left;
        case VK_RIGHT:
            return keys::right;
        case VK_END:
            return keys::end;
        case VK_DOWN:
            return keys::down;
        case VK_NEXT:
            return keys::pageDown;
        case VK_INSERT:
            return keys::insert;
        case VK_DELETE:
            return keys::deleteKey;
        case VK_F11:
            return keys::f11;
        case VK_F12:
            return keys::f12;
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_CAPITAL:
        case VK_NUMLOCK:
        case VK_SCROLL:
            return std::nullopt;
        default:
            return keys::unknownSequence;
    }
}

std::optional<int> codeOf(const KEY_EVENT_RECORD& key) {
    if (key.uChar.AsciiChar != 0)
        return static_cast<unsigned char>(key.uChar.AsciiChar);
    return codeOfVirtualKey(key.wVirtualKeyCode);
}

}  // namespace

// The console delivers whole keys with their virtual key codes, so no escape sequence is
// ever decoded from it; keys read but not yet taken wait here.
struct Keyboard::Native {
    HANDLE console = INVALID_HANDLE_VALUE;
    DWORD savedMode = 0;
    std::deque<int> keys;

    // Moves every key press the console holds into keys; true when one was added. Wine reads
    // its terminal for a peek, not for a count of waiting events, so the console is peeked.
    bool readConsoleKeys() {
        bool added = false;
        for (;;) {
            INPUT_RECORD records[64];
            DWORD count = 0;
            if (!::PeekConsoleInputA(console, records, 64, &count) || count == 0)
                break;
            if (!::ReadConsoleInputA(console, records, count, &count) || count == 0)
                break;
            for (DWORD index = 0; index < count; ++index)
                added = addKey(records[index]) || added;
        }
        return added;
    }

    bool addKey(const INPUT_RECORD& record) {
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
            return false;
        const std::optional<int> code = codeOf(record.Event.KeyEvent);
        if (!code)
            return false;
        for (WORD repeat = 0; repeat < std::max<WORD>(record.Event.KeyEvent.wRepeatCount, 1);
             ++repeat) {
            keys.push_back(*code);
        }
        return true;
    }
};

Keyboard::Keyboard() = default;

Keyboard::~Keyboard() {
    detach();
}

void Keyboard::attach(int inputDescriptor) {
    detach();
    input_ = inputDescriptor;
    endOfInput_ = false;
    const HANDLE console = handleOf(inputDescriptor);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode))
        return;
    native_ = std::make_unique<Native>();
    native_->console = console;
    native_->savedMode = mode;
    // Keys arrive one by one and unechoed; Control-C stays a stop request. Quick edit goes
    // off while the monitor runs: a click into its window would otherwise start a selection
    // that holds every write to the console, and with it data collection, until it ends.
    ::SetConsoleMode(console, ENABLE_PROCESSED_INPUT | ENABLE_EXTENDED_FLAGS);
    // Wine begins to read its terminal only once the console input is first looked at.
    INPUT_RECORD record{};
    DWORD count = 0;
    ::PeekConsoleInputA(console, &record, 1, &count);
}

void Keyboard::detach() {
    if (native_) {
        ::SetConsoleMode(native_->console, native_->savedMode | ENABLE_EXTENDED_FLAGS);
        native_.reset();
    }
    input_ = -1;
}

// Takes the console's keys, waiting up to the time-out (-1: no limit) for one; other input is
// read as bytes. True when something was added. The console is peeked at least every
// consoleWaitMilliseconds while waiting, since Wine reads its terminal only for a peek and
// would not wake a wait on the handle alone.
bool Keyboard::fillPending(int timeoutMilliseconds) {
    if (input_ < 0 || endOfInput_)
        return false;
    if (native_) {
        const ULONGLONG start = ::GetTickCount64();
        for (;;) {
            if (native_->readConsoleKeys())
                return true;
            const ULONGLONG waited = ::GetTickCount64() - start;
            if (timeoutMilliseconds >= 0 && waited >= static_cast<ULONGLONG>(timeoutMilliseconds))
                return false;
            const ULONGLONG left = timeoutMilliseconds < 0
                                       ? consoleWaitMilliseconds
                                       : static_cast<ULONGLONG>(timeoutMilliseconds) - waited;
            ::WaitForSingleObject(native_->console, static_cast<DWORD>(std::min<ULONGLONG>(
                                                        left, consoleWaitMilliseconds)));
        }
    }
    char buffer[64];
    DWORD count = 0;
    if (!::ReadFile(handleOf(input_), buffer, sizeof buffer, &count, nullptr) || count == 0) {
        endOfInput_ = true;
        return false;
    }
    pending_.append(buffer, count);
    return true;
}

// Fed bytes come first, decoded as they stand; then the console's keys.
std::optional<int> Keyboard::takeKey() {
    if (const auto key = decodeKey(pending_, true)) {
        pending_.erase(0, key->length);
        return key->code;
    }
    if (!native_ || native_->keys.empty())
        return std::nullopt;
    const int code = native_->keys.front();
    native_->keys.pop_front();
    return code;
}

}  // namespace torven::platform
