// How the media layer and the short path call find a file from a name.
#pragma once

#include <optional>
#include <string>

namespace media {

// The file a name stands for: a short name handed out by shortNameFor; the
// name as given, when that exists; else the name with its "\"s read as "/",
// except those that are part of a folder's or file's own name. Empty when
// none of them exists.
std::optional<std::string> findFile(const std::string& name);

// A short name, unique to `path` for the life of the process, that findFile
// maps back to it. Short names begin with a character that no path given by
// the program begins with.
std::string shortNameFor(const std::string& path);
bool isShortName(const std::string& name);

}  // namespace media
