// Configuration of the media layer behind mciSendStringA: where devices send
// their samples, a hook that sees every command text, and an orderly end.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace media {

class AudioSink;

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

// Closes every device and waits at most `limit` for their playback threads to
// release their outputs. For the end of the program.
void shutdown(std::chrono::milliseconds limit);

}  // namespace media
