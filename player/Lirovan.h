// The player module: plain procedures without state that turn the window's
// requests into media command strings and settings-file reads and writes.
#pragma once

#include <string>

namespace Lirovan {

void PlayFile(const std::string& fullPath);
void PauseTrack();
void ResumeTrack();
void SetPaused(bool paused);
void StopAll();
void SetMute(bool mute);

std::string ReadSetting(const std::string& section, const std::string& key, const std::string& file);
void WriteSetting(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& file);

}  // namespace Lirovan
