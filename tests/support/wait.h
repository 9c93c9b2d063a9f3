// Waiting for a condition that another thread brings about, for every test.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace velmyr_test {

// How long a test waits for what should come: generous, since sanitizer
// builds on a loaded two-core machine are slow.
constexpr std::chrono::milliseconds kPatience{10000};

namespace wait_detail {
struct Board {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t generation = 0;
};
inline Board board;
}  // namespace wait_detail

// Wakes every waitFor() to check its condition again. Called by what a
// condition reads whenever it changes: the capture outputs, a test's own
// playback thread.
inline void notifyWaiters() {
    auto& board = wait_detail::board;
    {
        std::lock_guard lock(board.mutex);
        ++board.generation;
    }
    board.changed.notify_all();
}

// Waits until `condition` holds, for at most `timeout`; returns whether it
// held. The condition runs without the board's lock (it may take others) and
// again after each notifyWaiters() since it last ran, so no change is missed.
// What nothing notifies (a device's mode, a window's text) is checked again
// after `recheck`.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience,
                    std::chrono::milliseconds recheck = std::chrono::milliseconds(20)) {
    auto& board = wait_detail::board;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(board.mutex);
            seen = board.generation;
        }
        if (condition()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::unique_lock lock(board.mutex);
        board.changed.wait_until(lock, std::min(deadline, now + recheck),
                                 [&] { return board.generation != seen; });
    }
}

}  // namespace velmyr_test
