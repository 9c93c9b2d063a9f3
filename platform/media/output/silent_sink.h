// An output that hears nothing but takes samples at the pace of a real one.
#pragma once

#include <memory>

#include "audio_sink.h"

namespace media {

std::unique_ptr<AudioSink> makeSilentSink();

}  // namespace media
