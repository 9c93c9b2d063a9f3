// The command entry point and the table of open devices.
#include "media_layer.h"
#include "test_hooks.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "command.h"
#include "decoder.h"
#include "device.h"
#include "file_lookup.h"
#include "mci.h"
#include "output/audio_sink.h"
#include "output/client_identity.h"
#include "output/fallback_sink.h"

namespace media {

namespace {

struct Registry {
    std::mutex mutex;                                        // guards everything below
    std::map<std::string, std::shared_ptr<Device>> devices;  // by alias
    std::map<std::string, std::string> files;                // by alias: the file each device opened
    std::vector<std::shared_ptr<Device>> closing;            // until their threads end
    std::vector<std::shared_ptr<Device>> abandoned;          // stuck at shutdown; kept alive
    SinkFactory factory;
    std::shared_ptr<OutputHandover> handover = std::make_shared<OutputHandover>();

    std::mutex observerMutex;
    CommandObserver observer;

    std::mutex endListenerMutex;  // never held with another lock
    EndListener endListener;
};

// Never destroyed: playback threads may still be ending when static
// destructors run.
Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

// Joins the playback threads that have ended. Call without the lock held.
void reapFinished() {
    auto& r = registry();
    std::vector<std::shared_ptr<Device>> done;
    {
        std::lock_guard lock(r.mutex);
        auto ended = std::stable_partition(r.closing.begin(), r.closing.end(),
                                           [](const auto& d) { return !d->finished(); });
        done.assign(std::make_move_iterator(ended), std::make_move_iterator(r.closing.end()));
        r.closing.erase(ended, r.closing.end());
    }
    done.clear();  // joins threads that have already released everything
}

MCIERROR reply(const std::string& text, char* buffer, unsigned length) {
    if (!buffer || length == 0) return MCIERR_NONE;
    const std::size_t kept = std::min<std::size_t>(text.size(), length - 1);
    std::copy_n(text.begin(), kept, buffer);
    buffer[kept] = '\0';
    return kept < text.size() ? MCIERR_PARAM_OVERFLOW : MCIERR_NONE;
}

bool aliasTaken(Registry& r, const std::string& alias) {
    std::lock_guard lock(r.mutex);
    return r.devices.count(alias) > 0;
}

MCIERROR open(Registry& r, const Command& c) {
    if (aliasTaken(r, c.alias)) return MCIERR_DUPLICATE_ALIAS;
    const auto path = findFile(c.element);
    if (!path) return MCIERR_FILE_NOT_FOUND;
    // The file is opened outside the lock, like every decoder and output call.
    auto decoder = std::make_unique<Decoder>();
    switch (decoder->open(*path)) {
    case Decoder::OpenResult::NotFound: return MCIERR_FILE_NOT_FOUND;
    case Decoder::OpenResult::NotDecodable: return MCIERR_INVALID_FILE;
    case Decoder::OpenResult::Ok: break;
    }
    std::lock_guard lock(r.mutex);
    if (r.devices.count(c.alias)) return MCIERR_DUPLICATE_ALIAS;
    if (!r.factory) r.factory = defaultSinkFactory();
    auto sink = r.factory();
    if (!sink) return MCIERR_CANNOT_LOAD_DRIVER;
    r.devices.emplace(c.alias, std::make_shared<Device>(std::move(decoder), std::move(sink), r.handover));
    r.files[c.alias] = *path;
    return MCIERR_NONE;
}

void closeAllLocked(Registry& r) {
    for (auto& [alias, device] : r.devices) {
        device->close();
        r.closing.push_back(std::move(device));
    }
    r.devices.clear();
    r.files.clear();
}

MCIERROR carryOut(const Command& c, char* buffer, unsigned length) {
    auto& r = registry();
    if (c.verb == Verb::Open) return open(r, c);

    std::lock_guard lock(r.mutex);
    if (c.verb == Verb::CloseAll) {
        closeAllLocked(r);
        return MCIERR_NONE;
    }
    const auto found = r.devices.find(c.alias);
    if (found == r.devices.end()) return MCIERR_INVALID_DEVICE_NAME;
    Device& device = *found->second;
    switch (c.verb) {
    case Verb::Play: device.play(); break;
    case Verb::Pause: device.pause(); break;
    case Verb::Resume: device.resume(); break;
    case Verb::Stop: device.stop(); break;
    case Verb::SetAudio: device.setAudio(c.audioOn); break;
    case Verb::Close:
        device.close();
        r.closing.push_back(std::move(found->second));
        r.devices.erase(found);
        r.files.erase(c.alias);
        break;
    case Verb::Status:
        switch (c.item) {
        case StatusItem::Mode: return reply(device.modeText(), buffer, length);
        case StatusItem::Position:
            return reply(std::to_string(device.positionMilliseconds()), buffer, length);
        case StatusItem::Length: return reply(std::to_string(device.lengthMilliseconds()), buffer, length);
        }
        break;
    case Verb::InfoFile: return reply(r.files[c.alias], buffer, length);
    case Verb::Open:
    case Verb::CloseAll: break;
    }
    return MCIERR_NONE;
}

}  // namespace

void identifyProgram(const std::string& name, const std::string& id, const std::string& iconName) {
    setClientIdentity({name, id, iconName});
}

SinkFactory defaultSinkFactory() { return makeFallbackSink; }

void setSinkFactory(SinkFactory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factory = std::move(factory);
}

void setCommandObserver(CommandObserver observer) {
    auto& r = registry();
    std::lock_guard lock(r.observerMutex);
    r.observer = std::move(observer);
}

void setEndListener(EndListener listener) {
    auto& r = registry();
    std::lock_guard lock(r.endListenerMutex);
    r.endListener = std::move(listener);
}

void reportEndedByItself(const Device& device) {
    auto& r = registry();
    std::string alias;
    {
        std::lock_guard lock(r.mutex);
        const auto found = std::find_if(r.devices.begin(), r.devices.end(),
                                        [&](const auto& entry) { return entry.second.get() == &device; });
        if (found == r.devices.end()) return;  // closed meanwhile
        alias = found->first;
    }
    EndListener listener;
    {
        std::lock_guard lock(r.endListenerMutex);
        listener = r.endListener;
    }
    if (listener) listener(alias);
}

void shutdown(std::chrono::milliseconds limit) {
    auto& r = registry();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<std::shared_ptr<Device>> closing;
    {
        std::lock_guard lock(r.mutex);
        closeAllLocked(r);
        closing = r.closing;
    }
    for (const auto& device : closing) device->waitFinished(deadline);
    reapFinished();
    std::lock_guard lock(r.mutex);
    for (auto& device : r.closing) {
        device->abandon();
        r.abandoned.push_back(std::move(device));
    }
    r.closing.clear();
}

}  // namespace media

MCIERROR mciSendStringA(const char* command, char* returnString, unsigned returnLength, void*) {
    if (returnString && returnLength > 0) returnString[0] = '\0';
    const std::string text = command ? command : "";
    {
        auto& r = media::registry();
        media::CommandObserver observer;
        {
            std::lock_guard lock(r.observerMutex);
            observer = r.observer;
        }
        if (observer) observer(text);
    }
    media::reapFinished();
    const media::Command parsed = media::parseCommand(text);
    if (parsed.error != MCIERR_NONE) return parsed.error;
    return media::carryOut(parsed, returnString, returnLength);
}
