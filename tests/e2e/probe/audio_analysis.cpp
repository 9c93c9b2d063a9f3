#include "audio_analysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace e2e {

std::vector<float> toMono(std::span<const int16_t> interleaved, int channels) {
    std::vector<float> mono;
    if (channels <= 0) return mono;
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    mono.reserve(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += interleaved[f * channels + c];
        mono.push_back(sum / static_cast<float>(channels) / 32768.0f);
    }
    return mono;
}

double toneMagnitude(std::span<const float> signal, double frequency, int rate) {
    if (signal.empty()) return 0;
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    double previous = 0, beforePrevious = 0;
    for (float sample : signal) {
        const double current = sample + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power =
        previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return std::sqrt(std::max(power, 0.0)) / static_cast<double>(signal.size());
}

double dominantFrequency(std::span<const float> signal, int rate, const AnalysisOptions& options) {
    double best = 0, bestMagnitude = -1;
    for (double f = options.minFrequency; f <= options.maxFrequency; f += options.frequencyStep) {
        const double magnitude = toneMagnitude(signal, f, rate);
        if (magnitude > bestMagnitude) {
            bestMagnitude = magnitude;
            best = f;
        }
    }
    return best;
}

std::vector<Window> analyse(std::span<const float> mono, int rate, const AnalysisOptions& options) {
    std::vector<Window> windows;
    const auto length = static_cast<std::size_t>(std::max(1.0, options.windowSeconds * rate));
    for (std::size_t begin = 0; begin + length <= mono.size(); begin += length) {
        const auto part = mono.subspan(begin, length);
        double energy = 0;
        for (float s : part) energy += static_cast<double>(s) * s;
        Window w;
        w.start = static_cast<double>(begin) / rate;
        w.rms = std::sqrt(energy / static_cast<double>(length));
        if (w.rms >= options.loudThreshold) w.frequency = dominantFrequency(part, rate, options);
        windows.push_back(w);
    }
    return windows;
}

Summary summarise(const std::vector<Window>& windows, const AnalysisOptions& options) {
    Summary s;
    s.seconds = static_cast<double>(windows.size()) * options.windowSeconds;
    std::vector<double> frequencies;
    for (const Window& w : windows) {
        s.peakRms = std::max(s.peakRms, w.rms);
        if (w.rms < options.loudThreshold) continue;
        if (s.firstLoud < 0) {
            s.firstLoud = w.start;
            s.firstFrequency = w.frequency;
        }
        s.lastLoud = w.start + options.windowSeconds;
        s.loudSeconds += options.windowSeconds;
        frequencies.push_back(w.frequency);
    }
    if (!frequencies.empty()) {
        std::nth_element(frequencies.begin(), frequencies.begin() + frequencies.size() / 2,
                         frequencies.end());
        s.frequency = frequencies[frequencies.size() / 2];
    }
    return s;
}

}  // namespace e2e
