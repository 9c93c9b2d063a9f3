#include "fallback_sink.h"

#include "forwarding_sink.h"
#include "out123_sink.h"
#include "pulse_sink.h"
#include "silent_sink.h"

namespace media {

namespace {

// Opens the first of its candidates that accepts the stream and hands every
// call on to it.
class FallbackSink final : public ForwardingSink {
public:
    FallbackSink() : ForwardingSink(nullptr) {}

    bool open(long rate, int channels, PlaybackThread& thread) override {
        for (const auto make : {makePulseSink, makeAlsaSink, makeSilentSink}) {
            if (thread.closing()) return false;
            next_ = make();
            if (next_->open(rate, channels, thread)) return true;
            next_->close();
            next_.reset();
        }
        return false;
    }
};

}  // namespace

std::unique_ptr<AudioSink> makeFallbackSink() { return std::make_unique<FallbackSink>(); }

}  // namespace media
