#include "pulse_sink.h"

#include <pulse/context.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace media {

namespace {

// The server keeps this much queued and asks for more once the refill has
// been played, so the playback thread wakes once a second. Measured (CPU per
// minute of 128 kbit/s playback): 1 s queue 0.052 s, 2 s 0.045 s, 4 s 0.038 s,
// against 0.45 s for mpg123 -o pulse; past 2 s the server holds more per
// stream for little gain.
constexpr long kQueueMilliseconds = 2000;
constexpr long kRefillMilliseconds = 1000;
// Playback starts, and starts again after a flush, once this much is queued.
// The first write after either is no longer, so the first sound waits only
// for this much decoding.
constexpr long kStartMilliseconds = 50;

class Lock {
public:
    explicit Lock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Lock() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

// The process's one connection to the server: a threaded main loop, started
// at the first open and kept for the life of the process, and a context, made
// anew by the first open after the last one failed (the server went away).
// Everything but the loop and state_ is used under the loop's lock.
class Connection {
public:
    static Connection& instance() {
        // Never destroyed: streams may still be let go of at exit.
        static Connection* const connection = new Connection;
        return *connection;
    }

    pa_threaded_mainloop* loop() const { return loop_; }

    // The context, connected or connecting; a new one when the last failed.
    pa_context* contextLocked() {
        if (context_) {
            if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
                return context_;
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quillmere Mp3 Player");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "velmyr");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "velmyr");
        context_ =
            pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), nullptr, properties);
        pa_proplist_free(properties);
        if (!context_)
            return nullptr;
        state_ = PA_CONTEXT_CONNECTING;
        pa_context_set_state_callback(context_, onState, this);
        // The user's client configuration (server, autospawn) applies.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            state_ = PA_CONTEXT_FAILED;
        return context_;
    }

    bool readyLocked() const {
        return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY;
    }

    // Connected, or never to be: read by waits that cannot take the lock.
    bool settled() const {
        const pa_context_state_t state = state_;
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    }

    void addWaiterLocked(PlaybackThread* thread) { waiting_.push_back(thread); }
    void removeWaiterLocked(PlaybackThread* thread) {
        waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), thread), waiting_.end());
    }

private:
    Connection() {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            return;
        // Named before it starts: later, libpulse would rename the caller.
        pa_threaded_mainloop_set_name(loop_, "sound server");
        if (pa_threaded_mainloop_start(loop_) < 0) {
            pa_threaded_mainloop_free(loop_);
            loop_ = nullptr;
            return;
        }
    }

    static void onState(pa_context* context, void* self) {
        auto* connection = static_cast<Connection*>(self);
        if (context != connection->context_)
            return;
        connection->state_ = pa_context_get_state(context);
        for (PlaybackThread* thread : connection->waiting_)
            thread->wake();
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::atomic<pa_context_state_t> state_{PA_CONTEXT_UNCONNECTED};
    std::vector<PlaybackThread*> waiting_;
};

std::uint32_t bytesOf(long milliseconds, long rate, std::size_t frameBytes) {
    return static_cast<std::uint32_t>(rate * milliseconds / 1000 * static_cast<long>(frameBytes));
}

void forget(pa_operation* operation) {
    if (operation)
        pa_operation_unref(operation);
}

bool isSettled(int state) {
    const auto s = static_cast<pa_stream_state_t>(state);
    return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
}

// One stream per device on the process's one connection to the server,
// through libpulse's asynchronous API: no call waits for the server, so a
// server that stops answering holds up no command and no close.
//
// The stream keeps a long queue in the server and asks for more only when
// about half of it has been played, so the playback thread wakes about once
// a second. Pause corks the stream and keeps the queue, so resume goes on
// from the same sample; drop flushes it and close releases it, both
// silencing at once. What the listener has heard comes from the server's
// timing.
class PulseSink final : public AudioSink {
public:
    ~PulseSink() override;
    bool open(long rate, int channels, PlaybackThread& thread) override;
    Room room(Clock::time_point now) override;
    bool write(const std::int16_t* samples, std::size_t frames) override;
    std::int64_t unheard(Clock::time_point now) override;
    std::int64_t drop() override;
    std::int64_t pause() override;
    void resume() override;
    void close() override;

private:
    static void onState(pa_stream* stream, void* self);
    static void onRequest(pa_stream* stream, std::size_t bytes, void* self);
    std::int64_t framesOf(std::uint64_t microseconds) const;
    std::int64_t queuedLocked() const;

    PlaybackThread* thread_ = nullptr;
    pa_stream* stream_ = nullptr;  // under the connection's lock
    long rate_ = 0;
    std::size_t frameBytes_ = 0;
    // The state the server last gave the stream; written by the connection's
    // thread, read by the playback thread's waits.
    std::atomic<int> state_{0};
    std::int64_t sinceRestart_ = 0;  // frames written since open or the last drop
};

PulseSink::~PulseSink() { close(); }

bool PulseSink::open(long rate, int channels, PlaybackThread& thread) {
    Connection& server = Connection::instance();
    if (!server.loop() || rate <= 0 || channels <= 0 ||
        channels > static_cast<int>(PA_CHANNELS_MAX))
        return false;
    thread_ = &thread;
    rate_ = rate;
    frameBytes_ = static_cast<std::size_t>(channels) * sizeof(std::int16_t);
    {
        Lock lock(server.loop());
        if (!server.contextLocked())
            return false;
        server.addWaiterLocked(&thread);
    }
    // A server that is stopped answers nothing: this wait ends only when it
    // does, or when the device is closed.
    const bool settled = thread.waitUntil([&server] { return server.settled(); });
    {
        Lock lock(server.loop());
        server.removeWaiterLocked(&thread);
        if (!settled || !server.readyLocked())
            return false;
        const pa_sample_spec format{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(rate),
                                    static_cast<std::uint8_t>(channels)};
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
        stream_ = pa_stream_new_with_proplist(server.contextLocked(), "Playback", &format, nullptr,
                                              properties);
        pa_proplist_free(properties);
        if (!stream_)
            return false;
        pa_stream_set_state_callback(stream_, onState, this);
        pa_stream_set_write_callback(stream_, onRequest, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.tlength = bytesOf(kQueueMilliseconds, rate, frameBytes_);
        attributes.prebuf = bytesOf(kStartMilliseconds, rate, frameBytes_);
        attributes.minreq = bytesOf(kRefillMilliseconds, rate, frameBytes_);
        attributes.fragsize = static_cast<std::uint32_t>(-1);
        // Running, as the device expects of a new output: it plays once the
        // first write fills the prebuffer. Timing is interpolated from the
        // server's updates, so asking what was heard costs no round trip.
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING |
                                                          PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(stream_, nullptr, &attributes, flags, nullptr, nullptr) < 0)
            return false;
    }
    return thread.waitUntil([this] { return isSettled(state_); }) && state_ == PA_STREAM_READY;
}

AudioSink::Room PulseSink::room(Clock::time_point now) {
    Lock lock(Connection::instance().loop());
    // A stream the server dropped takes a write, which tells the writer.
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY)
        return {1, now};
    const std::size_t bytes = pa_stream_writable_size(stream_);
    if (bytes == static_cast<std::size_t>(-1))
        return {1, now};
    auto frames = static_cast<std::int64_t>(bytes / frameBytes_);
    const std::int64_t start = rate_ * kStartMilliseconds / 1000;
    if (sinceRestart_ < start)
        frames = std::min(frames, start - sinceRestart_);
    if (frames <= 0)
        return {0, Clock::time_point::max()};
    return {static_cast<std::size_t>(frames), now};
}

bool PulseSink::write(const std::int16_t* samples, std::size_t frames) {
    Lock lock(Connection::instance().loop());
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY ||
        pa_stream_write(stream_, samples, frames * frameBytes_, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return false;
    sinceRestart_ += static_cast<std::int64_t>(frames);
    return true;
}

std::int64_t PulseSink::framesOf(std::uint64_t microseconds) const {
    return static_cast<std::int64_t>(microseconds * static_cast<std::uint64_t>(rate_) / 1000000);
}

std::int64_t PulseSink::queuedLocked() const {
    pa_usec_t latency = 0;
    int negative = 0;
    if (!stream_ || pa_stream_get_latency(stream_, &latency, &negative) != 0 || negative)
        return -1;
    return framesOf(latency);
}

std::int64_t PulseSink::unheard(Clock::time_point) {
    Lock lock(Connection::instance().loop());
    // Until the server's first timing since the start or a flush, none of
    // what was written since counts as heard.
    const std::int64_t queued = queuedLocked();
    return queued >= 0 ? queued : sinceRestart_;
}

std::int64_t PulseSink::drop() {
    Lock lock(Connection::instance().loop());
    std::int64_t discarded = 0;
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
        // The flush takes the stream's queue, and the server takes back from
        // the sound card what it had mixed of it, so none of it is heard.
        const std::int64_t queued = queuedLocked();
        discarded = queued >= 0 ? queued : sinceRestart_;
        forget(pa_stream_flush(stream_, nullptr, nullptr));
    }
    sinceRestart_ = 0;
    return discarded;
}

std::int64_t PulseSink::pause() {
    Lock lock(Connection::instance().loop());
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY)
        forget(pa_stream_cork(stream_, 1, nullptr, nullptr));
    return 0;
}

void PulseSink::resume() {
    Lock lock(Connection::instance().loop());
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY)
        forget(pa_stream_cork(stream_, 0, nullptr, nullptr));
}

void PulseSink::close() {
    if (!stream_)
        return;
    Lock lock(Connection::instance().loop());
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    switch (pa_stream_get_state(stream_)) {
    case PA_STREAM_CREATING:
        // The server has not answered yet (it may be stopped): the stream is
        // let go of once it does.
        pa_stream_set_state_callback(
            stream_,
            [](pa_stream* stream, void*) {
                if (pa_stream_get_state(stream) == PA_STREAM_READY)
                    pa_stream_disconnect(stream);
            },
            nullptr);
        break;
    case PA_STREAM_READY:
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        forget(pa_stream_flush(stream_, nullptr, nullptr));
        pa_stream_disconnect(stream_);
        break;
    default: pa_stream_set_state_callback(stream_, nullptr, nullptr); break;
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulseSink::onState(pa_stream* stream, void* self) {
    auto* sink = static_cast<PulseSink*>(self);
    sink->state_ = pa_stream_get_state(stream);
    sink->thread_->wake();
}

void PulseSink::onRequest(pa_stream*, std::size_t, void* self) {
    static_cast<PulseSink*>(self)->thread_->wake();
}

}  // namespace

std::unique_ptr<AudioSink> makePulseSink() { return std::make_unique<PulseSink>(); }

}  // namespace media
