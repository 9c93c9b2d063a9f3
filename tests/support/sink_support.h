// What tests that drive outputs directly or wrap them share.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "platform/media/audio_sink.h"

namespace velmyr_test {

// An output that hands every call on to another. Test outputs derive from it
// and override only the calls they change, so none can leave one out.
class ForwardingSink : public media::AudioSink {
public:
    explicit ForwardingSink(std::unique_ptr<media::AudioSink> next) : next_(std::move(next)) {}

    bool open(long rate, int channels, media::PlaybackThread& thread) override {
        return next_->open(rate, channels, thread);
    }
    Room room(Clock::time_point now) override { return next_->room(now); }
    bool write(const std::int16_t* samples, std::size_t frames) override {
        return next_->write(samples, frames);
    }
    std::int64_t unheard(Clock::time_point now) override { return next_->unheard(now); }
    std::int64_t drop() override { return next_->drop(); }
    std::int64_t pause() override { return next_->pause(); }
    void resume() override { next_->resume(); }
    void close() override { next_->close(); }

private:
    std::unique_ptr<media::AudioSink> next_;
};

// The playback thread of an output driven by a test itself: nothing wakes
// it, nothing closes it, and a wait ends as soon as the output settles.
class TestThread final : public media::PlaybackThread {
public:
    void wake() override {}
    bool waitUntil(const std::function<bool()>& settled) override {
        while (!settled())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
    bool closing() const override { return false; }
};

}  // namespace velmyr_test
