#include "profile.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "ini_text.h"
#include "settings_file.h"

namespace {

// A folder that turns read-only or writable while the program runs must not
// send the write at the end to another file than the one read at start.
std::string keptForThisRun(const std::string& file) {
    static std::mutex lock;
    static std::map<std::string, std::string> decided;
    const std::lock_guard guard(lock);
    auto [entry, isNew] = decided.try_emplace(file);
    if (isNew) entry->second = profile::fileKeptFor(file);
    return entry->second;
}

std::optional<std::string> storedValue(const std::string& file, const char* section, const char* key) {
    const profile::LoadedFile loaded = profile::loadSettingsFile(file);
    if (loaded.state != profile::LoadState::Loaded) return std::nullopt;
    return profile::findValue(loaded.text, section, key);
}

}  // namespace

unsigned long GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, unsigned long size, const char* file) {
    if (!buffer || size == 0) return 0;
    std::string result = defaultValue ? defaultValue : "";
    if (section && key && file) {
        const std::string kept = keptForThisRun(file);
        std::optional<std::string> value = storedValue(kept, section, key);
        if (!value && kept != file) value = storedValue(file, section, key);
        if (value) result = *value;
    }
    const size_t count = std::min<size_t>(result.size(), size - 1);
    std::memcpy(buffer, result.data(), count);
    buffer[count] = '\0';
    return count;
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file) {
    if (!section || !key || !value || !file || !*file) return false;
    if (!profile::isStorable(section, key, value)) return false;
    const std::string kept = keptForThisRun(file);
    if (kept.empty()) return false;
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
