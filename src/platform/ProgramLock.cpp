#include "platform/ProgramLock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace torven::platform {

namespace {

struct LockState {
    std::mutex mutex;
    // Which thread holds the mutex, so that a thread can ask whether it is its own.
    std::atomic<std::thread::id> owner{};
};

LockState& lockState() {
    static LockState state;
    return state;
}

}  // namespace

void ProgramLock::acquire() {
    LockState& state = lockState();
    state.mutex.lock();
    state.owner = std::this_thread::get_id();
}

void ProgramLock::release() {
    if (!heldByThisThread())
        return;
    LockState& state = lockState();
    state.owner = std::thread::id{};
    state.mutex.unlock();
}

bool ProgramLock::heldByThisThread() {
    return lockState().owner.load() == std::this_thread::get_id();
}

void ProgramLock::sleepReleased(int milliseconds) {
    released([milliseconds] { sleepMilliseconds(milliseconds); });
}

void sleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace torven::platform
