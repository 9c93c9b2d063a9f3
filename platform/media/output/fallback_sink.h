// The program's output: the sound server, else the sound card, else paced
// silence.
#pragma once

#include <memory>

#include "audio_sink.h"

namespace media {

std::unique_ptr<AudioSink> makeFallbackSink();

}  // namespace media
