#include "pulse_sink.h"

#include <pulse/proplist.h>
#include <pulse/stream.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "server_connection.h"

namespace media {

namespace {

// What the stream asks of the server, which grants what it will
// (PULSE_LATENCY_MSEC, or a sink's limits, give less): the stream works by
// what it was granted. The first write after a start or a flush is no longer
// than the start, so the first sound waits only for that much decoding; each
// write after it is no longer than all written since, so that decoding it
// takes far less time than playing what is queued, also on a busy machine.
constexpr long kQueueMilliseconds = 8000;
constexpr long kRefillMilliseconds = 4000;
constexpr long kStartMilliseconds = 50;
// A request for less than this share of the granted refill is left for the
// next one: each write wakes the connection's thread.
constexpr std::int64_t kLeftoverPerRefill = 16;
// While the stream plays steadily, the server's messages about it are read in
// batches, each at most half of what the server still holds queued when it
// asks for more, and at most this long, so that news of a stream moved or
// suspended is not late by more. Batches shorter than the shortest save
// nothing and leave too little time to refill: such a stream's messages are
// read at once.
constexpr std::chrono::milliseconds kLongestBatch{2000};
constexpr std::chrono::milliseconds kShortestBatch{500};

std::uint32_t bytesOf(long milliseconds, long rate, std::size_t frameBytes) {
    return static_cast<std::uint32_t>(rate * milliseconds / 1000 * static_cast<long>(frameBytes));
}

// For requests whose answer nobody waits for.
void releaseOperation(pa_operation* operation) {
    if (operation) pa_operation_unref(operation);
}

// One stream per device on the process's one connection to the server,
// through libpulse's asynchronous API: no call waits for the server, so a
// server that stops answering holds up no command and no close.
//
// The server keeps a long queue filled and asks for more only once a long
// refill's worth has been played: each refill wakes the playback thread and
// the connection's thread. Pause corks the stream and keeps the queue, so resume goes on from the same
// sample; drop flushes it and close releases it, both silencing at once. At
// the end of the data the stream is drained: it plays what it holds, however
// little, and the file has been heard when the server says the queue is
// empty and the sound card's own latency has passed. What the listener has
// heard comes from the server's timing, asked for whenever the stream starts,
// halts or jumps, and interpolated in between, so a steady stream costs no
// timing requests.
class PulseSink final : public AudioSink, public ServerStream {
public:
    ~PulseSink() override;
    bool open(long rate, int channels, PlaybackThread& thread) override;
    Room room(Clock::time_point now) override;
    std::size_t write(const std::int16_t* samples, std::size_t frames) override;
    void drain() override;
    std::int64_t unheard(Clock::time_point now) override;
    std::int64_t drop() override;
    std::int64_t pause() override;
    void resume() override;
    void close() override;
    TimePoint unreadUntilLocked(TimePoint now, TimePoint lastReadAll) override;

private:
    static void onState(pa_stream* stream, void* self);
    static void onRequest(pa_stream* stream, std::size_t bytes, void* self);
    static void onTimingChange(pa_stream* stream, void* self);
    static void onGrantChange(pa_stream* stream, void* self);
    static void onDrained(pa_stream* stream, int success, void* self);
    Room roomLocked(Clock::time_point now);
    // The steps of open().
    bool startConnecting();
    bool connectStreamLocked(int channels);
    bool streamReadyOrFailed() const;
    bool readyLocked() const { return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY; }
    std::int64_t framesOf(std::uint64_t microseconds) const;
    std::int64_t unheardLocked();
    void listenLocked(bool on);
    void refreshTimingLocked();
    void readGrantLocked();
    void stopDrainLocked();

    PlaybackThread* thread_ = nullptr;
    pa_stream* stream_ = nullptr;  // under the connection's lock
    long rate_ = 0;
    std::size_t frameBytes_ = 0;
    // The state the server last gave the stream; written by the connection's
    // thread, read by the playback thread's waits.
    std::atomic<int> state_{0};
    // The last write took all the server asked for, and the server has said
    // nothing of the stream since: room() is Awaiting until it does. Cleared by
    // every callback and every command.
    std::atomic<bool> awaitingRequest_{false};
    // The rest under the connection's lock.
    // What the server granted, in frames: the least it asks for, and what it
    // waits for before it plays.
    std::int64_t grantedRefill_ = 0;
    std::int64_t grantedStart_ = 0;
    // How long the server's messages may wait unread while the stream plays
    // steadily; zero when they are read at once.
    std::chrono::milliseconds readBatchesEvery_{0};
    std::int64_t sinceRestart_ = 0;  // frames written since open or the last drop
    // Unheard at the last timing the server gave, plus what was written since:
    // the answer while the server's timing is not known.
    std::int64_t lastUnheard_ = 0;
    bool draining_ = false;
    pa_operation* drainOperation_ = nullptr;  // until the server answers it
    // When the drain's answer is due: once what was queued has been heard.
    Clock::time_point drainDue_{};
    pa_operation* timingOperation_ = nullptr;  // the last timing asked for
    // Once the server has answered the drain: when the last sample has left
    // the sound card too.
    Clock::time_point heardAllAt_{};
};

PulseSink::~PulseSink() { close(); }

bool PulseSink::open(long rate, int channels, PlaybackThread& thread) {
    ServerConnection& server = ServerConnection::instance();
    if (!server.running() || rate <= 0 || channels <= 0 || channels > static_cast<int>(PA_CHANNELS_MAX))
        return false;
    thread_ = &thread;
    rate_ = rate;
    frameBytes_ = static_cast<std::size_t>(channels) * sizeof(std::int16_t);
    if (!startConnecting()) return false;
    // A server that is stopped answers nothing: this wait ends only when it
    // does, or when the device is closed.
    const bool answered = thread.waitUntil([&server] { return server.connectedOrFailed(); });
    {
        LoopLock lock(server);
        server.removeWaiterLocked(&thread);
        if (!answered || !server.readyLocked() || !connectStreamLocked(channels)) return false;
    }
    return thread.waitUntil([this] { return streamReadyOrFailed(); }) && state_ == PA_STREAM_READY;
}

bool PulseSink::startConnecting() {
    ServerConnection& server = ServerConnection::instance();
    LoopLock lock(server);
    if (!server.connectLocked()) return false;
    server.addWaiterLocked(thread_);
    return true;
}

bool PulseSink::connectStreamLocked(int channels) {
    const pa_sample_spec format{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(rate_),
                                static_cast<std::uint8_t>(channels)};
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    stream_ = pa_stream_new_with_proplist(ServerConnection::instance().contextLocked(), "Playback", &format,
                                          nullptr, properties);
    pa_proplist_free(properties);
    if (!stream_) return false;
    pa_stream_set_state_callback(stream_, onState, this);
    listenLocked(true);
    ServerConnection::instance().addStreamLocked(this);
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = bytesOf(kQueueMilliseconds, rate_, frameBytes_);
    attributes.prebuf = bytesOf(kStartMilliseconds, rate_, frameBytes_);
    attributes.minreq = bytesOf(kRefillMilliseconds, rate_, frameBytes_);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    // Running, as the device expects of a new output: it plays once the
    // first write fills the prebuffer.
    return pa_stream_connect_playback(stream_, nullptr, &attributes, PA_STREAM_INTERPOLATE_TIMING, nullptr,
                                      nullptr) >= 0;
}

bool PulseSink::streamReadyOrFailed() const {
    const auto state = static_cast<pa_stream_state_t>(state_.load());
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

AudioSink::Room PulseSink::room(Clock::time_point now) {
    // Right after a write the connection's thread is busy sending it: asking
    // the stream would only wait for its lock.
    if (awaitingRequest_) return Room::awaiting();
    LoopLock lock(ServerConnection::instance());
    return roomLocked(now);
}

AudioSink::Room PulseSink::roomLocked(Clock::time_point now) {
    if (!readyLocked()) return Room::failed();
    if (draining_) {
        if (drainOperation_) return Room::awaiting();
        return now >= heardAllAt_ ? Room::drained() : Room::full(heardAllAt_);
    }
    const std::size_t bytes = pa_stream_writable_size(stream_);
    if (bytes == static_cast<std::size_t>(-1)) return Room::failed();
    auto frames = static_cast<std::int64_t>(bytes / frameBytes_);
    if (sinceRestart_ < grantedStart_)
        frames = std::min(frames, grantedStart_ - sinceRestart_);
    else if (frames < grantedRefill_ / kLeftoverPerRefill)
        frames = 0;
    else
        frames = std::min(frames, std::max(sinceRestart_, rate_ * kStartMilliseconds / 1000));
    if (frames <= 0) return Room::awaiting();
    return Room::open(static_cast<std::size_t>(frames));
}

std::size_t PulseSink::write(const std::int16_t* samples, std::size_t frames) {
    LoopLock lock(ServerConnection::instance());
    stopDrainLocked();
    if (!readyLocked() ||
        pa_stream_write(stream_, samples, frames * frameBytes_, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return 0;
    sinceRestart_ += static_cast<std::int64_t>(frames);
    lastUnheard_ += static_cast<std::int64_t>(frames);
    const Room left = roomLocked(Clock::now());
    awaitingRequest_ = left.state == Room::State::Awaiting;
    return frames;
}

void PulseSink::drain() {
    LoopLock lock(ServerConnection::instance());
    stopDrainLocked();
    awaitingRequest_ = false;
    if (!readyLocked()) return;
    draining_ = true;
    // Less than the prebuffer would never start by itself.
    releaseOperation(pa_stream_trigger(stream_, nullptr, nullptr));
    drainOperation_ = pa_stream_drain(stream_, onDrained, this);
    if (drainOperation_)
        drainDue_ = Clock::now() + std::chrono::microseconds(unheardLocked() * 1000000 / rate_);
    else
        heardAllAt_ = Clock::now();
    refreshTimingLocked();
}

std::int64_t PulseSink::framesOf(std::uint64_t microseconds) const {
    return static_cast<std::int64_t>(microseconds * static_cast<std::uint64_t>(rate_) / 1000000);
}

std::int64_t PulseSink::unheardLocked() {
    pa_usec_t latency = 0;
    int negative = 0;
    if (!stream_ || pa_stream_get_latency(stream_, &latency, &negative) != 0) return lastUnheard_;
    // Negative: the server has played past the last sample written (an
    // underrun), so nothing is left unheard.
    lastUnheard_ = negative ? 0 : framesOf(latency);
    return lastUnheard_;
}

std::int64_t PulseSink::unheard(Clock::time_point) {
    LoopLock lock(ServerConnection::instance());
    return unheardLocked();
}

std::int64_t PulseSink::drop() {
    LoopLock lock(ServerConnection::instance());
    stopDrainLocked();
    awaitingRequest_ = false;
    std::int64_t discarded = 0;
    if (readyLocked()) {
        // The flush takes the stream's queue, and the server takes back from
        // the sound card what it had mixed of it, so none of it is heard.
        discarded = std::min(unheardLocked(), sinceRestart_);
        releaseOperation(pa_stream_flush(stream_, nullptr, nullptr));
        refreshTimingLocked();
    }
    sinceRestart_ = 0;
    lastUnheard_ = 0;
    return discarded;
}

std::int64_t PulseSink::pause() {
    LoopLock lock(ServerConnection::instance());
    stopDrainLocked();
    awaitingRequest_ = false;
    if (readyLocked()) {
        // What is unheard now stays so while the stream is corked, also
        // before the server's timing after the cork comes.
        unheardLocked();
        releaseOperation(pa_stream_cork(stream_, 1, nullptr, nullptr));
        refreshTimingLocked();
    }
    return 0;
}

void PulseSink::resume() {
    LoopLock lock(ServerConnection::instance());
    awaitingRequest_ = false;
    if (readyLocked()) {
        releaseOperation(pa_stream_cork(stream_, 0, nullptr, nullptr));
        refreshTimingLocked();
    }
}

void PulseSink::close() {
    if (!stream_) return;
    ServerConnection& server = ServerConnection::instance();
    LoopLock lock(server);
    server.removeStreamLocked(this);
    stopDrainLocked();
    if (timingOperation_) {
        pa_operation_unref(timingOperation_);
        timingOperation_ = nullptr;
    }
    listenLocked(false);
    switch (pa_stream_get_state(stream_)) {
    case PA_STREAM_CREATING:
        // The server has not answered yet (it may be stopped): the stream is
        // let go of once it does.
        pa_stream_set_state_callback(
            stream_,
            [](pa_stream* stream, void*) {
                if (pa_stream_get_state(stream) == PA_STREAM_READY) pa_stream_disconnect(stream);
            },
            nullptr);
        break;
    case PA_STREAM_READY:
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        releaseOperation(pa_stream_flush(stream_, nullptr, nullptr));
        pa_stream_disconnect(stream_);
        break;
    default: pa_stream_set_state_callback(stream_, nullptr, nullptr); break;
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

// The server's news of the stream but its state, heard while `on`.
void PulseSink::listenLocked(bool on) {
    void* const self = on ? this : nullptr;
    pa_stream_set_write_callback(stream_, on ? onRequest : nullptr, self);
    // Each of these may start, halt or move the listener: the timing is asked
    // for again, and the interpolation goes on from there.
    for (auto* const listen : {pa_stream_set_started_callback, pa_stream_set_underflow_callback,
                               pa_stream_set_moved_callback, pa_stream_set_suspended_callback})
        listen(stream_, on ? onTimingChange : nullptr, self);
    // A move to another sink may change what was granted.
    pa_stream_set_buffer_attr_callback(stream_, on ? onGrantChange : nullptr, self);
}

void PulseSink::refreshTimingLocked() {
    releaseOperation(timingOperation_);
    timingOperation_ = pa_stream_update_timing_info(stream_, nullptr, nullptr);
}

void PulseSink::readGrantLocked() {
    const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
    if (!granted) return;
    const auto frames = [this](std::uint32_t bytes) {
        return static_cast<std::int64_t>(bytes / frameBytes_);
    };
    grantedRefill_ = frames(granted->minreq);
    grantedStart_ = frames(granted->prebuf);
    // What the server still holds when it asks for more.
    const std::chrono::milliseconds margin{
        std::max<std::int64_t>(0, frames(granted->tlength) - grantedRefill_) * 1000 / rate_};
    readBatchesEvery_ =
        margin / 2 < kShortestBatch ? std::chrono::milliseconds{0} : std::min(margin / 2, kLongestBatch);
}

// The server's messages on the stream can wait while it plays, as long as its
// requests for more come long before its queue runs dry. Not while an answer
// is awaited, nor until the server has said that the stream plays, since what
// the listener has heard is known only from that.
ServerStream::TimePoint PulseSink::unreadUntilLocked(TimePoint now, TimePoint lastReadAll) {
    if (timingOperation_) {
        if (pa_operation_get_state(timingOperation_) == PA_OPERATION_RUNNING) return now;
        pa_operation_unref(timingOperation_);
        timingOperation_ = nullptr;
    }
    if (!readyLocked() || readBatchesEvery_.count() == 0) return now;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    if (!timing || !timing->playing) return now;
    const TimePoint batchDue = lastReadAll + readBatchesEvery_;
    // A drain is answered once the queue has been played.
    return drainOperation_ ? std::min(batchDue, drainDue_) : batchDue;
}

// A drain the server has not answered yet is cancelled: its answer would
// speak of data that is no longer the end.
void PulseSink::stopDrainLocked() {
    if (drainOperation_) {
        pa_operation_cancel(drainOperation_);
        pa_operation_unref(drainOperation_);
        drainOperation_ = nullptr;
    }
    draining_ = false;
}

void PulseSink::onState(pa_stream* stream, void* self) {
    auto* sink = static_cast<PulseSink*>(self);
    if (pa_stream_get_state(stream) == PA_STREAM_READY) sink->readGrantLocked();
    sink->state_ = pa_stream_get_state(stream);
    sink->awaitingRequest_ = false;
    sink->thread_->wake();
}

void PulseSink::onRequest(pa_stream*, std::size_t, void* self) {
    auto* sink = static_cast<PulseSink*>(self);
    sink->awaitingRequest_ = false;
    sink->thread_->wake();
}

void PulseSink::onTimingChange(pa_stream*, void* self) {
    static_cast<PulseSink*>(self)->refreshTimingLocked();
}

void PulseSink::onGrantChange(pa_stream*, void* self) {
    auto* sink = static_cast<PulseSink*>(self);
    sink->readGrantLocked();
    sink->awaitingRequest_ = false;
    sink->thread_->wake();
}

void PulseSink::onDrained(pa_stream*, int, void* self) {
    auto* sink = static_cast<PulseSink*>(self);
    pa_operation_unref(sink->drainOperation_);
    sink->drainOperation_ = nullptr;
    // The server's queue is empty; the sound card still holds what the
    // stream's latency says.
    const std::int64_t rest = sink->unheardLocked();
    sink->heardAllAt_ = Clock::now() + std::chrono::microseconds(rest * 1000000 / sink->rate_);
    sink->thread_->wake();
}

}  // namespace

std::unique_ptr<AudioSink> makePulseSink() { return std::make_unique<PulseSink>(); }

}  // namespace media
