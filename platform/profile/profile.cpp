#include "profile.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ini_text.h"
#include "settings_file.h"

unsigned long GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, unsigned long size, const char* file) {
    if (!buffer || size == 0) return 0;
    std::string result = defaultValue ? defaultValue : "";
    if (section && key && file) {
        const profile::LoadedFile loaded = profile::loadSettingsFile(profile::fileKeptFor(file));
        if (loaded.state == profile::LoadState::Loaded) {
            if (auto value = profile::findValue(loaded.text, section, key)) result = *value;
        }
    }
    const size_t count = std::min<size_t>(result.size(), size - 1);
    std::memcpy(buffer, result.data(), count);
    buffer[count] = '\0';
    return count;
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file) {
    if (!section || !key || !value || !file || !*file) return false;
    if (!profile::isStorable(section, key, value)) return false;
    const std::string kept = profile::fileKeptFor(file);
    // The user's configuration folder may not exist yet.
    if (kept != file && !profile::makeFolderFor(kept)) return false;
    const std::optional<std::string> target = profile::resolveLinks(kept);
    if (!target) return false;

    const profile::LoadedFile existing = profile::loadSettingsFile(*target);
    // An unreadable or oversized file would lose its other lines if replaced.
    if (existing.state == profile::LoadState::Unusable) return false;
    const std::string updated = profile::withValue(existing.text, section, key, value);
    if (existing.state == profile::LoadState::Loaded && updated == existing.text) return true;
    return profile::replaceFileAtomically(*target, updated);
}
