#include "Lirovan.h"

#include <cstdlib>
#include <vector>

#include "platform/media/mci.h"
#include "platform/media/media_layer.h"
#include "platform/media/shortpath.h"
#include "platform/profile/profile.h"

namespace Lirovan {

namespace {
void send(const std::string& command) { mciSendStringA(command.c_str(), nullptr, 0, nullptr); }

// The reply to a command that has one; false when the command fails.
bool ask(const std::string& command, std::string& answer) {
    std::vector<char> reply(4096);
    if (mciSendStringA(command.c_str(), reply.data(), unsigned(reply.size()), nullptr) != MCIERR_NONE)
        return false;
    answer = reply.data();
    return true;
}
}  // namespace

void PlayFile(const std::string& fullPath) {
    send("stop lirovan");
    send("close lirovan");
    char shortPath[255] = {};
    const unsigned long kept = GetShortPathNameA(fullPath.c_str(), shortPath, sizeof shortPath);
    send("open " + std::string(shortPath, kept) + " type mpegvideo alias lirovan");
    send("play lirovan");
}

void PauseTrack() { send("pause lirovan"); }

void ResumeTrack() { send("resume lirovan"); }

void SetPaused(bool paused) {
    if (paused)
        PauseTrack();
    else
        ResumeTrack();
}

void StopAll() {
    send("stop lirovan");
    send("close all");
}

void SetMute(bool mute) { send(mute ? "set lirovan audio all off" : "set lirovan audio all on"); }

Track NowPlaying() {
    Track track;
    std::string position, length;
    track.open = ask("status lirovan mode", track.mode) && ask("status lirovan position", position) &&
                 ask("status lirovan length", length) && ask("info lirovan file", track.file);
    if (!track.open) return {};
    track.positionMilliseconds = std::atoll(position.c_str());
    track.lengthMilliseconds = std::atoll(length.c_str());
    return track;
}

void OnTrackEnd(std::function<void()> listener) {
    if (!listener) return media::setEndListener({});
    media::setEndListener([listener = std::move(listener)](const std::string& alias) {
        if (alias == "lirovan") listener();
    });
}

std::string ReadSetting(const std::string& section, const std::string& key, const std::string& file) {
    char buffer[255] = {};
    const unsigned long count =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof buffer, file.c_str());
    return std::string(buffer, count);
}

void WriteSetting(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& file) {
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

}  // namespace Lirovan
