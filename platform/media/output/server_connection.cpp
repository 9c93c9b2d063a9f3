#include "server_connection.h"

#include <pulse/proplist.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "client_identity.h"

namespace media {

namespace {

std::mutex identityMutex;
ClientIdentity identity;  // under identityMutex

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
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return;
    // Named before it starts: later, libpulse would rename the caller.
    pa_threaded_mainloop_set_name(loop_, "sound server");
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
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
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), nullptr, properties);
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

void ServerConnection::onState(pa_context* context, void* self) {
    auto* connection = static_cast<ServerConnection*>(self);
    if (context != connection->context_) return;
    connection->state_ = pa_context_get_state(context);
    for (PlaybackThread* thread : connection->waiting_) thread->wake();
}

}  // namespace media
