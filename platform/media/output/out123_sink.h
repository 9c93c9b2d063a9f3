// Output straight to the sound card through libout123's ALSA module, where
// no sound server answers.
#pragma once

#include <memory>

#include "audio_sink.h"

namespace media {

std::unique_ptr<AudioSink> makeAlsaSink();

}  // namespace media
