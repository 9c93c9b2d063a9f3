// ASCII text as file names, settings names and command words use it, apart
// from any locale.
#pragma once

#include <algorithm>
#include <iterator>

namespace common {

inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Any range of chars: std::string, std::string_view, QByteArrayView.
template <typename Bytes>
bool isAscii(const Bytes& bytes) {
    return std::all_of(std::begin(bytes), std::end(bytes),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace common
