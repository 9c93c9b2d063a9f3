// The program's output: the sound server, else the sound card, else paced
// silence.
#include <functional>

#include "audio_sink.h"
#include "media_layer.h"
#include "out123_sink.h"
#include "pulse_sink.h"
#include "silent_sink.h"

namespace media {

namespace {

// Opens the first of its candidates that accepts the stream and forwards to it.
class FallbackSink final : public AudioSink {
public:
    bool open(long rate, int channels, PlaybackThread& thread) override {
        const std::function<std::unique_ptr<AudioSink>()> candidates[] = {
            [] { return std::make_unique<PulseSink>(); },
            [] { return std::make_unique<Out123Sink>(); },
            [] { return std::make_unique<SilentSink>(); },
        };
        for (const auto& make : candidates) {
            if (thread.closing())
                return false;
            auto sink = make();
            if (sink->open(rate, channels, thread)) {
                chosen_ = std::move(sink);
                return true;
            }
            sink->close();
        }
        return false;
    }
    Room room(Clock::time_point now) override { return chosen_->room(now); }
    bool write(const std::int16_t* samples, std::size_t frames) override {
        return chosen_->write(samples, frames);
    }
    std::int64_t unheard(Clock::time_point now) override { return chosen_->unheard(now); }
    std::int64_t drop() override { return chosen_->drop(); }
    std::int64_t pause() override { return chosen_->pause(); }
    void resume() override { chosen_->resume(); }
    void close() override {
        if (chosen_)
            chosen_->close();
        chosen_.reset();
    }

private:
    std::unique_ptr<AudioSink> chosen_;
};

}  // namespace

SinkFactory defaultSinkFactory() {
    return [] { return std::make_unique<FallbackSink>(); };
}

}  // namespace media
