// The player module: plain procedures without state that turn the window's
// requests into media command strings and settings-file reads and writes, and
// say what plays.
#pragma once

#include <functional>
#include <string>

namespace Lirovan {

void PlayFile(const std::string& fullPath);
void PauseTrack();
void ResumeTrack();
void SetPaused(bool paused);
void StopAll();
void SetMute(bool mute);

// What the media layer says of the file the player opened.
struct Track {
    bool open = false;  // false: no file open, the rest is empty
    std::string mode;   // "playing", "paused", "stopped", ...
    long long positionMilliseconds = 0;
    long long lengthMilliseconds = 0;
    std::string file;  // the file heard, as found on disk
};
Track NowPlaying();
// Called on a playback thread, with no lock held, when the player's file has
// played to its end by itself; empty: no one is called.
void OnTrackEnd(std::function<void()> listener);

std::string ReadSetting(const std::string& section, const std::string& key, const std::string& file);
void WriteSetting(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& file);

}  // namespace Lirovan
