// "file:" URIs as file managers and desktop shells send them, and back, and
// paths as a user types them. A path is bytes, whatever their encoding; a URI
// carries each byte that is not plain ASCII, and each that means something in
// a URI, as a "%XX" escape.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace desktop {

// The local path that a "file:" URI names ("file:///a%20b.mp3" -> "/a b.mp3"),
// with or without "//" and an empty or "localhost" host; normal as normalPath
// makes it ("file:///m//a/" -> "/m/a"). None for any other scheme or host, a
// query or fragment, a bad escape, no path, or anything that would name
// another path than the one written: an escaped "/" or NUL byte, a "." or ".."
// segment.
std::optional<std::string> pathFromFileUri(std::string_view uri);

// The "file://" URI of an absolute path: every byte escaped but the unreserved
// ones and "/".
std::string fileUriFromPath(std::string_view path);

// The path absolute, from the current folder, and lexically normal: no empty
// or "." segment, a ".." segment taken away with the one before it, no "/" at
// the end. Links are not followed: a link is opened under its own name. A
// relative path stays as given when the current folder cannot be told.
std::string normalPath(std::string_view path);

// A path the player can open: a folder, or a file whose name ends in ".mp3" in
// any case.
bool isFolderOrMp3(const std::string& path);

}  // namespace desktop
