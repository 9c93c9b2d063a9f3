// Reading and replacing a settings file safely: bounded reads that never block
// on something that is not a regular file, and atomic replacement.
#pragma once

#include <optional>
#include <string>

namespace profile {

// Anything bigger is not a settings file; it is not read and not replaced.
constexpr size_t kMaxSettingsFileSize = 4 * 1024 * 1024;

enum class LoadState {
    Missing,   // no such file
    Loaded,    // a regular file, read whole
    Unusable,  // unreadable, not a regular file, or over kMaxSettingsFileSize
};

struct LoadedFile {
    LoadState state = LoadState::Missing;
    std::string text;
};

LoadedFile loadSettingsFile(const std::string& path);

// The file a write to path lands in: path with its symbolic links followed,
// dangling ones included, so that the link itself stays in place. Empty for a
// loop of links or an unreadable link.
std::optional<std::string> resolveLinks(const std::string& path);

// Replaces the file at path (no links followed) with text: a new file in the
// same folder, flushed to disk, then renamed over the old one, with the old
// file's permission bits and, where allowed, its owner. On failure the old file
// is left as it was and the new one removed. Refuses to replace a file we may
// not write to, and to write more than kMaxSettingsFileSize.
bool replaceFileAtomically(const std::string& path, const std::string& text);

// The file that stands for `path` in reads and writes: path itself, unless it
// lies in a folder the user cannot write (a folder that is read-only or gone)
// and is missing or a regular file, or in a folder under /usr or /opt (an
// installed copy), whoever the user; then the file of the same name in the
// user's configuration folder, in a folder named after the file
// ($XDG_CONFIG_HOME/app/app.ini for .../app.ini; $HOME/.config when
// XDG_CONFIG_HOME is unset or not absolute). Empty for an installed copy's
// file when the user has no configuration folder. Decided anew at each call:
// a folder's permissions may change while a program runs.
std::string fileKeptFor(const std::string& path);

// Creates the folder that holds path and any missing above it, new ones
// private to the user (mode 0700). True when that folder exists afterwards.
bool makeFolderFor(const std::string& path);

}  // namespace profile
