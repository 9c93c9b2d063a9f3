// The process's one connection to the sound server, which every stream to it
// shares.
#pragma once

#include <pulse/context.h>
#include <pulse/mainloop.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <utility>
#include <vector>

#include "audio_sink.h"

struct pollfd;

namespace media {

// A stream on the connection, asked by the connection's thread before each
// sleep how long the server's messages about it may wait unread.
class ServerStream {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Under the loop lock: until when nothing the server may say of the
    // stream is needed, given that all it said was last read at
    // `lastReadAll`; `now` or earlier while an answer is awaited, or when its
    // messages must be read at once.
    virtual TimePoint unreadUntilLocked(TimePoint now, TimePoint lastReadAll) = 0;

protected:
    ~ServerStream() = default;
};

// The connection's thread and its libpulse loop, started at the first open
// and kept for the life of the process, and a context, made anew by the first
// open after the last one failed (the server went away).
class ServerConnection {
public:
    using Clock = std::chrono::steady_clock;

    static ServerConnection& instance();

    // Whether the loop was made and its thread started, to run for the life
    // of the process; nothing is played without it.
    bool running() const { return loop_ != nullptr; }
    // The loop lock: everything on the connection and its streams but the
    // atomics is used under it. The connection's thread holds it but while
    // it sleeps, so its callbacks run under it.
    std::recursive_mutex& loopMutex() { return mutex_; }

    // Starts connecting unless connected or connecting; false when no context
    // can be made.
    bool connectLocked();
    bool readyLocked() const;
    pa_context* contextLocked() const { return context_; }

    // Connected, or never to be: read by waits that cannot take the lock.
    bool connectedOrFailed() const;

    // Playback threads woken whenever the connection's state changes.
    void addWaiterLocked(PlaybackThread* thread);
    void removeWaiterLocked(PlaybackThread* thread);

    // Streams whose say bounds how long messages may wait unread.
    void addStreamLocked(ServerStream* stream);
    void removeStreamLocked(ServerStream* stream);

private:
    // What a descriptor the loop polls is, told once: the doorbell of the
    // ring of shared memory, the socket to the server, or another (the
    // loop's own wake-up).
    enum class Descriptor { Doorbell, Socket, Other };

    ServerConnection();
    void run();
    void dropContextLocked();
    Clock::time_point unreadUntilLocked(Clock::time_point now);
    Descriptor descriptorLocked(int fd);
    static void onState(pa_context* context, void* self);
    static int poll(pollfd* fds, unsigned long count, int timeout, void* self);

    pa_mainloop* loop_ = nullptr;
    std::recursive_mutex mutex_;
    pa_context* context_ = nullptr;
    std::atomic<pa_context_state_t> state_{PA_CONTEXT_UNCONNECTED};
    std::vector<PlaybackThread*> waiting_;
    std::vector<ServerStream*> streams_;
    // When the connection's thread last read all that the server had sent.
    Clock::time_point lastReadAll_{};
    // The descriptors of the context, as told so far.
    std::vector<std::pair<int, Descriptor>> descriptors_;
    // Where the doorbells stand among the descriptors of the poll at hand:
    // used by the connection's thread alone.
    std::vector<unsigned long> doorbells_;
};

// Holds the loop lock for its scope.
class LoopLock {
public:
    explicit LoopLock(ServerConnection& server) : lock_(server.loopMutex()) {}

private:
    std::lock_guard<std::recursive_mutex> lock_;
};

}  // namespace media
