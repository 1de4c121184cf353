#pragma once

#include <type_traits>

namespace torven::platform {

// The one program-wide lock. The main thread holds it while it works on the program's
// objects and lets go of it only while it sleeps or waits for a key; the stop-signal
// handler takes it and keeps it until the process ends, so the two never interleave.
class ProgramLock {
  public:
    // Takes the lock for the calling thread.
    static void acquire();
    // Sleeps; when the calling thread holds the lock it is released for the sleep.
    static void sleepReleased(int milliseconds);
    // Waits for something with the lock released (when held), then takes it back.
    template <typename Wait>
    static auto released(Wait wait) {
        const bool held = heldByThisThread();
        if (held)
            release();
        if constexpr (std::is_void_v<decltype(wait())>) {
            wait();
            if (held)
                acquire();
        } else {
            auto result = wait();
            if (held)
                acquire();
            return result;
        }
    }
    // Runs work with the lock taken by the calling thread, which does not hold it yet, and
    // gives it back afterwards.
    template <typename Work>
    static auto holding(Work work) {
        acquire();
        const struct Release {
            ~Release() { release(); }
        } releaseAtEnd;
        return work();
    }
    static bool heldByThisThread();
    // Gives the lock back when the calling thread holds it.
    static void release();
};

// Sleeps without touching the lock.
void sleepMilliseconds(int milliseconds);

}  // namespace torven::platform
