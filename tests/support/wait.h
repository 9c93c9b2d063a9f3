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

struct WaitBoard {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned long changes = 0;  // under mutex
};
// Never destroyed: a thread a test left stuck may still notify at exit.
inline WaitBoard& waitBoard() {
    static WaitBoard* const board = new WaitBoard;
    return *board;
}

// Called by what a condition reads when it changes (capture outputs, a test's
// own output): every waitFor() checks its condition again.
inline void notifyWaiters() {
    std::lock_guard lock(waitBoard().mutex);
    ++waitBoard().changes;
    waitBoard().changed.notify_all();
}

// Whether `condition` came to hold within `timeout`. It runs unlocked, and
// again after any change notified since it began; what nothing notifies (a
// device's mode) is checked again every 20 ms.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    WaitBoard& board = waitBoard();
    std::unique_lock lock(board.mutex);
    for (;;) {
        const unsigned long seen = board.changes;
        lock.unlock();
        if (condition()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        lock.lock();
        board.changed.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(20)),
                                 [&] { return board.changes != seen; });
    }
}

}  // namespace velmyr_test
