// Waiting for what another thread brings about, for every test.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace velmyr_test {

// Generous: sanitizer builds on a loaded two-core machine are slow.
constexpr std::chrono::milliseconds kPatience{10000};

// Never destroyed: a thread a test left stuck may still notify at exit.
inline std::mutex& waitMutex = *new std::mutex;
inline std::condition_variable& waitChanged = *new std::condition_variable;
inline unsigned long waitChanges = 0;  // under waitMutex

// Called by what a condition reads when it changes (capture outputs, a test's
// own output): every waitFor() checks its condition again.
inline void notifyWaiters() {
    std::lock_guard lock(waitMutex);
    ++waitChanges;
    waitChanged.notify_all();
}

// Whether `condition` came to hold within `timeout`. It runs unlocked, and
// again after any change notified since it began; what nothing notifies (a
// device's mode) is checked again every 20 ms.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(waitMutex);
    for (;;) {
        const unsigned long seen = waitChanges;
        lock.unlock();
        if (condition()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        lock.lock();
        waitChanged.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(20)),
                               [&] { return waitChanges != seen; });
    }
}

}  // namespace velmyr_test
