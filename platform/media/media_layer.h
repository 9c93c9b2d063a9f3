// What the program asks of the media layer beyond its commands (mci.h): its
// name for the sound server, to be told of files that end by themselves, and
// an orderly end. How the layer's
// threads and locks work: device.h.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace media {

// How the sound server lists the program among its clients. Before the first
// file is opened; until then the server's defaults apply.
void identifyProgram(const std::string& name, const std::string& id, const std::string& iconName);

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
