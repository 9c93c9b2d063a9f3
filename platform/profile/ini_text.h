// The INI text of a profile file, read and edited line by line so that an edit
// changes one line and leaves every other byte of the file as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace profile {

// The value of the first line "key=value" under a header "[section]", names
// compared without regard to ASCII case. Sections of the same name count as
// one. Blanks around names and value are dropped, and so is one pair of double
// quotes around the whole value. Lines that hold a NUL byte are not entries.
std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key);

// Whether section, key and value can be stored so that findValue gives the
// value back: no line breaks anywhere, no ']' in the section, no '=' in the
// key, and names that are neither empty nor padded with blanks.
bool isStorable(std::string_view section, std::string_view key, std::string_view value);

// text with the value stored: the line of the key replaced when findValue
// would find one, else a line added at the end of the section's first
// occurrence, else the section added at the end of the text. New line ends
// follow the text's first one. Expects isStorable(section, key, value).
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

}  // namespace profile
