// What tests that drive outputs directly or make their own share. Test
// outputs that wrap another derive from media::ForwardingSink.
#pragma once

#include <functional>

#include "platform/media/output/audio_sink.h"
#include "wait.h"

namespace velmyr_test {

// An output that takes every call and does nothing; tests override the calls
// they make fail, hang or count.
class NullSink : public media::AudioSink {
public:
    bool open(long, int, media::PlaybackThread&) override { return true; }
    Room room(Clock::time_point) override { return draining_ ? Room::drained() : Room::open(441); }
    std::size_t write(const std::int16_t*, std::size_t frames) override {
        draining_ = false;
        return frames;
    }
    void drain() override { draining_ = true; }
    std::int64_t unheard(Clock::time_point) override { return 0; }
    std::int64_t drop() override {
        draining_ = false;
        return 0;
    }
    std::int64_t pause() override {
        draining_ = false;
        return 0;
    }
    void resume() override {}
    void close() override {}

private:
    bool draining_ = false;
};

// The playback thread of an output driven by a test itself: nothing closes
// it, and a wait ends as soon as the output settles, or, as if closed, when
// the test's patience runs out.
class TestThread final : public media::PlaybackThread {
public:
    void wake() override { notifyWaiters(); }
    bool waitUntil(const std::function<bool()>& settled) override { return waitFor(settled); }
    bool closing() const override { return false; }
};

}  // namespace velmyr_test
