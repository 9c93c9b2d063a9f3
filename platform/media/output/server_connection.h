// The process's one connection to the sound server, which every stream to it
// shares.
#pragma once

#include <pulse/context.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <vector>

#include "audio_sink.h"

namespace media {

// Holds libpulse's loop lock for its scope: everything on the connection and
// its streams but the atomics is used under it.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

// A threaded main loop, started at the first open and kept for the life of
// the process, and a context, made anew by the first open after the last one
// failed (the server went away).
class ServerConnection {
public:
    static ServerConnection& instance();

    pa_threaded_mainloop* loop() const { return loop_; }

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

private:
    ServerConnection();
    void dropContextLocked();
    static void onState(pa_context* context, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::atomic<pa_context_state_t> state_{PA_CONTEXT_UNCONNECTED};
    std::vector<PlaybackThread*> waiting_;
};

}  // namespace media
