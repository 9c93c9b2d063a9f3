// Configuration of the media layer behind mciSendStringA: where devices send
// their samples, a hook that sees every command text, and an orderly end.
//
// How the media layer is put together (mci.h is its entry):
//
// Owners. A registry, made at the first command and never destroyed, owns
// the table of open devices by alias, the devices closed but not yet ended,
// and the sink factory. A Device (device.h) owns its decoder, its output
// (AudioSink, audio_sink.h) and its playback thread. The sound server's
// output shares one connection per process, with its own thread (pulse_sink).
//
// Threads. mciSendStringA runs on the caller's thread (the window's) and
// never waits for audio: a command changes a device's state under its lock
// and wakes its playback thread. Each device's playback thread alone calls
// its decoder and its output: it opens the output, decodes as much as the
// output has room for, and sleeps until the output wants more or a command
// comes. At the end of the data it drains the output; the file has ended
// once the output has played all of it, and until then it is playing. The server connection's thread runs libpulse's callbacks, which only
// record the server's answers and wake playback threads.
//
// Locks, in the order they may be taken: the registry's, then a device's,
// then the handover's (OutputHandover); libpulse's loop lock comes before a
// device's, since its callbacks wake a device. No decoder or output is called
// with any of the registry's, a device's or the handover's locks held, so a
// stuck output or file never holds up a command.
//
// Devices' ends. "close" takes a device out of the table and asks its thread
// to end; the registry keeps it until the thread has released everything, and
// only then drops it, since dropping the last reference joins the thread. A
// new device waits, within a limit, for closed devices to release the output,
// so two files are never heard at once. shutdown() gives threads that are
// stuck in an output up (abandon), for the end of the program.
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

// Called with a device's alias when its file has played to its end while
// playing (or its output failed), on that device's playback thread and with no
// lock held: hop to another thread rather than work there. Not called for a
// stop, pause or close. Empty: no listener.
using EndListener = std::function<void(const std::string& alias)>;
void setEndListener(EndListener listener);

// Closes every device and waits at most `limit` for their playback threads to
// release their outputs. For the end of the program.
void shutdown(std::chrono::milliseconds limit);

}  // namespace media
