// Reading and replacing a settings file safely: bounded reads that never block
// on something that is not a regular file, and atomic replacement.
#pragma once

#include <functional>
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

// True when replaceFileAtomically(path, ...) can land: path (or the file its
// links lead to) is a readable and writable regular file, or is missing, in a
// folder the user may write to.
bool canReplace(const std::string& path);

// Where a program keeps its settings file. `besideProgram` (the program's
// folder joined with the file's name) when a write can land there; otherwise
// the file of that name in the user's configuration folder, app's folder under
// $XDG_CONFIG_HOME, or under $HOME/.config when that is unset or not absolute.
// The choice depends on the program's folder alone, which the program never
// changes, so the read at start and the write at the end agree.
std::string settingsFileLocation(const std::string& besideProgram, const std::string& app);

// Creates the folder that holds path and any missing above it, new ones
// private to the user (mode 0700). True when that folder exists afterwards.
bool makeFolderFor(const std::string& path);

// Test seam: the steps of replaceFileAtomically, each of which a test can make
// fail to prove that the old file survives.
enum class WriteStep { CreateTemporary, WriteContents, Flush, Replace };
using WriteFault = std::function<bool(WriteStep)>;  // true: make this step fail
void setWriteFaultForTesting(WriteFault fault);

}  // namespace profile
