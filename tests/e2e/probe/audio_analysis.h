// Analysis of a recorded sound stream (interleaved signed 16-bit samples): the
// loudness and the dominant frequency of each short window, and a summary that
// tells whether a tone sounded, which one, and when it started.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace e2e {

struct AudioFormat {
    int rate = 44100;
    int channels = 2;
};

struct AnalysisOptions {
    double windowSeconds = 0.05;
    // RMS of a window, full scale 1.0, above which the window counts as sound.
    double loudThreshold = 0.02;
    double minFrequency = 150.0;
    double maxFrequency = 2600.0;
    double frequencyStep = 5.0;
};

struct Window {
    double start = 0;      // seconds from the start of the recording
    double rms = 0;        // full scale 1.0
    double frequency = 0;  // Hz; 0 for a window below the loudness threshold
};

struct Summary {
    double seconds = 0;
    double loudSeconds = 0;
    double firstLoud = -1;      // start of the first loud window, -1 if none
    double lastLoud = -1;       // end of the last loud window, -1 if none
    double firstFrequency = 0;  // dominant frequency of the first loud window
    double frequency = 0;       // median dominant frequency of the loud windows
    double peakRms = 0;
};

// Mixes the channels to one and returns the mono signal at full scale 1.0.
std::vector<float> toMono(std::span<const int16_t> interleaved, int channels);

// Strength of one frequency in a signal (Goertzel), normalised so that a sine
// of amplitude A gives about A/2 regardless of the signal's length.
double toneMagnitude(std::span<const float> signal, double frequency, int rate);

// The frequency in [min, max] with the greatest magnitude, refined to the step.
double dominantFrequency(std::span<const float> signal, int rate, const AnalysisOptions& options);

std::vector<Window> analyse(std::span<const float> mono, int rate, const AnalysisOptions& options);

Summary summarise(const std::vector<Window>& windows, const AnalysisOptions& options);

}  // namespace e2e
