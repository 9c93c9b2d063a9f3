#include "out123_sink.h"

#include <dlfcn.h>
#include <mpg123.h>
#include <out123.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace media {

namespace {

constexpr const char* kDrivers = "pulse,alsa";

// libout123 unloads its ALSA module after each failed open, and libasound
// with it, losing the configuration tree it parsed (about 90 KB) every time:
// on a machine without sound every file opened would leak that much. Kept
// loaded, the library parses its configuration once and reuses it.
void keepAlsaLoaded() {
    static std::once_flag once;
    std::call_once(once, [] { dlopen("libasound.so.2", RTLD_NOW | RTLD_NODELETE); });
}

}  // namespace

Out123Sink::~Out123Sink() { close(); }

bool Out123Sink::open(long rate, int channels) {
    keepAlsaLoaded();
    handle_ = out123_new();
    if (!handle_)
        return false;
    out123_param_int(handle_, OUT123_FLAGS, OUT123_QUIET);
    if (out123_open(handle_, kDrivers, nullptr) != OUT123_OK ||
        out123_start(handle_, rate, channels, MPG123_ENC_SIGNED_16) != OUT123_OK) {
        out123_del(handle_);
        handle_ = nullptr;
        return false;
    }
    channels_ = channels;
    clock_.emplace(rate, 1.0);
    char* driver = nullptr;
    if (out123_driver_info(handle_, &driver, nullptr) == OUT123_OK && driver &&
        std::strcmp(driver, "pulse") == 0) {
        if (const char* latency = std::getenv("PULSE_LATENCY_MSEC"))
            serverQueueFrames_ = rate * std::max(0L, std::atol(latency)) / 1000;
    }
    return true;
}

bool Out123Sink::write(const std::int16_t* samples, std::size_t frames) {
    const std::size_t bytes = frames * static_cast<std::size_t>(channels_) * sizeof(std::int16_t);
    const std::size_t played = out123_play(handle_, const_cast<std::int16_t*>(samples), bytes);
    clock_->wrote(static_cast<std::int64_t>(frames), PaceClock::Clock::now());
    writtenSinceDrop_ += static_cast<std::int64_t>(frames);
    return played == bytes;
}

std::int64_t Out123Sink::drop() {
    out123_drop(handle_);
    const std::int64_t paced = clock_->dropAt(PaceClock::Clock::now());
    const std::int64_t held = std::min(writtenSinceDrop_, serverQueueFrames_);
    writtenSinceDrop_ = 0;
    return std::max(paced, held);
}

void Out123Sink::pause() {
    out123_drop(handle_);
    writtenSinceDrop_ = 0;
    clock_->pauseAt(PaceClock::Clock::now());
}

void Out123Sink::resume() { clock_->resumeAt(PaceClock::Clock::now()); }

void Out123Sink::close() {
    if (!handle_)
        return;
    out123_drop(handle_);
    out123_close(handle_);
    out123_del(handle_);
    handle_ = nullptr;
}

}  // namespace media
