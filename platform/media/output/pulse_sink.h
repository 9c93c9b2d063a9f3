// Output to the sound server: PulseAudio, or PipeWire's PulseAudio service.
#pragma once

#include <memory>
#include <string>

#include "audio_sink.h"

namespace media {

std::unique_ptr<AudioSink> makePulseSink();

// How the server lists the program among its clients. Set before the first
// stream is opened; until then the server's defaults apply.
struct ClientIdentity {
    std::string name;
    std::string id;
    std::string iconName;
};
void setClientIdentity(ClientIdentity identity);

}  // namespace media
