// Output to the sound server: PulseAudio, or PipeWire's PulseAudio service.
#pragma once

#include <memory>

#include "audio_sink.h"

namespace media {

std::unique_ptr<AudioSink> makePulseSink();

}  // namespace media
