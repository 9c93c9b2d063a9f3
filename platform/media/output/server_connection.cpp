#include "server_connection.h"

#include <poll.h>
#include <pthread.h>
#include <pulse/proplist.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "client_identity.h"

namespace media {

namespace {

std::mutex identityMutex;
ClientIdentity identity;  // under identityMutex

// A server that shares no memory takes the samples through the socket, and
// the connection's thread wakes each time the socket has room for more: a
// refill that the socket's buffer takes in fewer pieces wakes it fewer times.
// The system caps the size.
void widenSendBuffer(int socket) {
    constexpr int kWide = 4 << 20;
    ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &kWide, sizeof kWide);
}

// Polls with the doorbells (indices into `fds`) left out until `quietFor`
// has passed (or `timeout`, if sooner), then all of `fds`. Sets `readAll`
// when the doorbells were polled in the end.
int pollBatched(pollfd* fds, unsigned long count, int timeout, int quietFor,
                const std::vector<unsigned long>& doorbells, bool& readAll) {
    if (!doorbells.empty()) {
        for (const unsigned long i : doorbells) fds[i].fd = ~fds[i].fd;  // poll() passes over a negative one
        const bool quietFirst = timeout < 0 || quietFor < timeout;
        const int ready = ::poll(fds, count, quietFirst ? quietFor : timeout);
        for (const unsigned long i : doorbells) {
            fds[i].fd = ~fds[i].fd;
            fds[i].revents = 0;
        }
        if (ready != 0 || !quietFirst) {
            readAll = false;
            return ready;
        }
        if (timeout >= 0) timeout -= quietFor;
    }
    readAll = true;
    return ::poll(fds, count, timeout);
}

}  // namespace

void setClientIdentity(ClientIdentity newIdentity) {
    std::lock_guard lock(identityMutex);
    identity = std::move(newIdentity);
}

ServerConnection& ServerConnection::instance() {
    // Never destroyed: streams may still be let go of at exit.
    static ServerConnection* const connection = new ServerConnection;
    return *connection;
}

ServerConnection::ServerConnection() {
    loop_ = pa_mainloop_new();
    if (!loop_) return;
    pa_mainloop_set_poll_func(loop_, poll, this);
    try {
        std::thread([this] { run(); }).detach();
    } catch (const std::system_error&) {
        pa_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

void ServerConnection::run() {
    // Signals are for the program's own threads to take.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pthread_setname_np(pthread_self(), "sound server");
    std::lock_guard lock(mutex_);
    pa_mainloop_run(loop_, nullptr);
}

// Called by the loop on its thread, under the loop lock, which it lets go of
// while it sleeps.
//
// A server that gives its clients shared memory (local ones get it unless
// told otherwise) hands back each block of samples once it has played it, a
// message apiece on the ring it shares with this process, and each would wake
// this thread; libpulse cuts every write into such blocks of a fixed size, and
// offers no way to turn shared memory off for one client. So while every
// stream plays steadily, the ring's doorbell is left out of the poll for as
// long as every stream allows (ServerStream::unreadUntilLocked), and a long
// refill costs a few wake-ups. The loop's own wake-up (the first descriptor),
// by which commands from other threads come, and the socket, where a server
// that goes away shows, are polled all along.
int ServerConnection::poll(pollfd* fds, unsigned long count, int timeout, void* self) {
    auto* server = static_cast<ServerConnection*>(self);
    const Clock::time_point now = Clock::now();
    const Clock::time_point unreadUntil = server->unreadUntilLocked(now);
    std::vector<unsigned long>& doorbells = server->doorbells_;
    doorbells.clear();
    for (unsigned long i = 1; i < count; ++i)
        if (fds[i].fd >= 0 && server->descriptorLocked(fds[i].fd) == Descriptor::Doorbell)
            doorbells.push_back(i);
    server->mutex_.unlock();
    bool readAll = true;
    int ready = 0;
    if (unreadUntil > now) {
        // At most one batch: the cast cannot overflow.
        const auto quietFor = std::chrono::ceil<std::chrono::milliseconds>(unreadUntil - now).count();
        ready = pollBatched(fds, count, timeout, static_cast<int>(quietFor), doorbells, readAll);
    } else {
        ready = ::poll(fds, count, timeout);
    }
    server->mutex_.lock();
    if (readAll) server->lastReadAll_ = Clock::now();
    return ready;
}

ServerConnection::Clock::time_point ServerConnection::unreadUntilLocked(Clock::time_point now) {
    if (streams_.empty() || !readyLocked()) return now;
    Clock::time_point until = streams_.front()->unreadUntilLocked(now, lastReadAll_);
    for (ServerStream* stream : streams_)
        until = std::min(until, stream->unreadUntilLocked(now, lastReadAll_));
    return until;
}

// The descriptors of a context stay what they are while it lives: each is
// looked at once.
ServerConnection::Descriptor ServerConnection::descriptorLocked(int fd) {
    for (const auto& [known, descriptor] : descriptors_)
        if (known == fd) return descriptor;
    char path[32];
    char link[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(path, link, sizeof link);
    const std::string_view target(link, length > 0 ? static_cast<std::size_t>(length) : 0);
    Descriptor descriptor = Descriptor::Other;
    if (target == "anon_inode:[eventfd]") {
        descriptor = Descriptor::Doorbell;
    } else if (target.substr(0, 7) == "socket:") {
        descriptor = Descriptor::Socket;
        widenSendBuffer(fd);
    }
    descriptors_.emplace_back(fd, descriptor);
    return descriptor;
}

bool ServerConnection::connectLocked() {
    if (context_) {
        if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) return true;
        dropContextLocked();
    }
    pa_proplist* properties = pa_proplist_new();
    {
        std::lock_guard lock(identityMutex);
        if (!identity.name.empty())
            pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, identity.name.c_str());
        if (!identity.id.empty()) pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, identity.id.c_str());
        if (!identity.iconName.empty())
            pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, identity.iconName.c_str());
    }
    context_ = pa_context_new_with_proplist(pa_mainloop_get_api(loop_), nullptr, properties);
    pa_proplist_free(properties);
    if (!context_) return false;
    state_ = PA_CONTEXT_CONNECTING;
    pa_context_set_state_callback(context_, onState, this);
    // The user's client configuration (server, autospawn) applies.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) state_ = PA_CONTEXT_FAILED;
    return true;
}

void ServerConnection::dropContextLocked() {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
    // Its descriptors are closed, and their numbers free for others.
    descriptors_.clear();
}

bool ServerConnection::readyLocked() const {
    return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

bool ServerConnection::connectedOrFailed() const {
    const pa_context_state_t state = state_;
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

void ServerConnection::addWaiterLocked(PlaybackThread* thread) { waiting_.push_back(thread); }

void ServerConnection::removeWaiterLocked(PlaybackThread* thread) {
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), thread), waiting_.end());
}

void ServerConnection::addStreamLocked(ServerStream* stream) { streams_.push_back(stream); }

void ServerConnection::removeStreamLocked(ServerStream* stream) {
    streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
}

void ServerConnection::onState(pa_context* context, void* self) {
    auto* connection = static_cast<ServerConnection*>(self);
    if (context != connection->context_) return;
    connection->state_ = pa_context_get_state(context);
    for (PlaybackThread* thread : connection->waiting_) thread->wake();
}

}  // namespace media
