// The program's output: the sound server or card, else paced silence.
#include <cstdlib>
#include <mutex>

#include "audio_sink.h"
#include "media_layer.h"
#include "out123_sink.h"
#include "silent_sink.h"

namespace media {

namespace {

// Opens the first of its candidates that accepts the stream and forwards to it.
class FallbackSink final : public AudioSink {
public:
    bool open(long rate, int channels) override {
        auto device = std::make_unique<Out123Sink>();
        if (device->open(rate, channels)) {
            chosen_ = std::move(device);
            return true;
        }
        auto silent = std::make_unique<SilentSink>();
        if (!silent->open(rate, channels))
            return false;
        chosen_ = std::move(silent);
        return true;
    }
    bool write(const std::int16_t* samples, std::size_t frames) override {
        return chosen_->write(samples, frames);
    }
    std::chrono::steady_clock::time_point nextWriteAt(
        std::chrono::steady_clock::time_point now) const override {
        return chosen_->nextWriteAt(now);
    }
    std::int64_t drop() override { return chosen_->drop(); }
    void pause() override { chosen_->pause(); }
    void resume() override { chosen_->resume(); }
    void close() override {
        if (chosen_)
            chosen_->close();
        chosen_.reset();
    }

private:
    std::unique_ptr<AudioSink> chosen_;
};

// The sound server's default queue is about two seconds: pause, stop and mute
// would be heard that late. Asked once, before the first output opens, and
// only when the user has not chosen a latency.
void preferShortServerQueue() {
    static std::once_flag once;
    std::call_once(once, [] { setenv("PULSE_LATENCY_MSEC", "30", 0); });
}

}  // namespace

SinkFactory defaultSinkFactory() {
    preferShortServerQueue();
    return [] { return std::make_unique<FallbackSink>(); };
}

}  // namespace media
