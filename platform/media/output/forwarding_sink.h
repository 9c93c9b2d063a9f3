// An output that hands every call on to another.
#pragma once

#include <memory>
#include <utility>

#include "audio_sink.h"

namespace media {

// The base of outputs that choose another or watch it: each overrides only
// the calls it changes, and every other call reaches the output behind it.
// `next` may be null only for an output that chooses it in open(): before a
// successful open() nothing but close() is called.
class ForwardingSink : public AudioSink {
public:
    explicit ForwardingSink(std::unique_ptr<AudioSink> next) : next_(std::move(next)) {}

    bool open(long rate, int channels, PlaybackThread& thread) override {
        return next_->open(rate, channels, thread);
    }
    Room room(Clock::time_point now) override { return next_->room(now); }
    std::size_t write(const std::int16_t* samples, std::size_t frames) override {
        return next_->write(samples, frames);
    }
    void drain() override { next_->drain(); }
    std::int64_t unheard(Clock::time_point now) override { return next_->unheard(now); }
    std::int64_t drop() override { return next_->drop(); }
    std::int64_t pause() override { return next_->pause(); }
    void resume() override { next_->resume(); }
    void close() override {
        if (next_) next_->close();
    }

protected:
    std::unique_ptr<AudioSink> next_;
};

}  // namespace media
