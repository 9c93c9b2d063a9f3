// MP3 decoding into interleaved signed 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/common/file_descriptor.h"

struct mpg123_handle_struct;

namespace media {

class Decoder {
public:
    enum class OpenResult { Ok, NotFound, NotDecodable };

    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens a regular file and reads as far as its first audio frame.
    OpenResult open(const std::string& path);

    long rate() const { return rate_; }
    static constexpr int channels() { return 2; }
    // Length in frames, an estimate for files without a length header; 0 unknown.
    std::int64_t length() const { return length_; }

    // Decodes up to `maxFrames` frames into `out`. Returns the count, 0 once
    // the file has ended: at its end, at a read error, or at damage that
    // cannot be resynchronised.
    std::size_t read(std::int16_t* out, std::size_t maxFrames);

    // Moves the read position back by up to `frames`; returns how far it went.
    std::int64_t rewind(std::int64_t frames);

private:
    common::FileDescriptor file_;
    mpg123_handle_struct* handle_ = nullptr;
    long rate_ = 0;
    std::int64_t length_ = 0;
    bool ended_ = false;
};

}  // namespace media
