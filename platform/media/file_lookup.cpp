#include "file_lookup.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace media {

namespace {

constexpr char kShortPrefix[] = "?short~";

struct ShortNames {
    std::mutex mutex;
    std::map<std::string, std::size_t> byPath;
    std::vector<std::string> paths;
};

ShortNames& shortNames() {
    static ShortNames names;
    return names;
}

bool exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.empty() ? "/" : path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads each "\" of `path` from `from` on as a separator where what comes
// before it is a folder, else as part of a name (names here may hold one),
// separators first. `budget` bounds the lookups a name full of "\" may cost.
bool resolveBackslashes(std::string& path, std::size_t from, int& budget) {
    if (--budget < 0) return false;
    const std::size_t at = path.find('\\', from);
    if (at == std::string::npos) return exists(path);
    path[at] = '/';
    if (isFolder(path.substr(0, at)) && resolveBackslashes(path, at + 1, budget)) return true;
    path[at] = '\\';
    return resolveBackslashes(path, at + 1, budget);
}

std::optional<std::string> pathOfShortName(const std::string& name) {
    const std::string digits = name.substr(sizeof kShortPrefix - 1);
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const std::size_t index = std::stoul(digits);
    auto& names = shortNames();
    std::lock_guard lock(names.mutex);
    if (index >= names.paths.size()) return std::nullopt;
    return names.paths[index];
}

}  // namespace

bool isShortName(const std::string& name) { return name.rfind(kShortPrefix, 0) == 0; }

std::optional<std::string> findFile(const std::string& name) {
    if (isShortName(name)) {
        auto path = pathOfShortName(name);
        if (path && exists(*path)) return path;
        return std::nullopt;
    }
    if (exists(name)) return name;
    std::string resolved = name;
    int budget = 64;
    if (name.find('\\') != std::string::npos && resolveBackslashes(resolved, 0, budget)) return resolved;
    return std::nullopt;
}

std::string shortNameFor(const std::string& path) {
    std::error_code error;
    std::string absolute = std::filesystem::absolute(path, error).string();
    if (error) absolute = path;
    auto& names = shortNames();
    std::lock_guard lock(names.mutex);
    auto [at, added] = names.byPath.try_emplace(absolute, names.paths.size());
    if (added) names.paths.push_back(absolute);
    return kShortPrefix + std::to_string(at->second);
}

}  // namespace media
