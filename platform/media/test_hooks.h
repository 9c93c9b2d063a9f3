// Where tests plug into the media layer: the output a new device gets, and a
// look at every command text. Not exposed to the program's libraries.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "output/audio_sink.h"

namespace media {

// Makes the output for a newly opened device. The default tries the sound
// server (libpulse), then the sound card (libout123's ALSA module), and falls
// back to a silent output paced in real time.
using SinkFactory = std::function<std::unique_ptr<AudioSink>()>;
void setSinkFactory(SinkFactory factory);  // empty factory: back to the default
SinkFactory defaultSinkFactory();

// Called with every command text mciSendStringA receives, before it is carried
// out, on the caller's thread. Empty: no observer.
using CommandObserver = std::function<void(const std::string& command)>;
void setCommandObserver(CommandObserver observer);

}  // namespace media
