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

// Test seam: the steps of replaceFileAtomically, each of which a test can make
// fail to prove that the old file survives.
enum class WriteStep { CreateTemporary, WriteContents, Flush, Replace };
using WriteFault = std::function<bool(WriteStep)>;  // true: make this step fail
void setWriteFaultForTesting(WriteFault fault);

}  // namespace profile
