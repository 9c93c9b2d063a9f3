// The end-to-end verdicts about what was heard rest on this analysis: it must
// name the right tone among the fixtures' frequencies, and tell sound from
// silence, also when a recording starts or ends in the middle of a tone.
#include "audio_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int kRate = 44100;

std::vector<float> sine(double frequency, double seconds, double amplitude = 0.5) {
    std::vector<float> s(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * i / kRate));
    return s;
}

std::vector<float> silence(double seconds) {
    return std::vector<float>(static_cast<std::size_t>(seconds * kRate));
}

std::vector<float> join(std::vector<float> a, const std::vector<float>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(AudioAnalysis, NamesEachFixtureToneWithinTenHertz) {
    for (double f : {300.0, 400.0, 700.0, 1000.0, 1250.0, 1600.0, 2000.0}) {
        const auto signal = sine(f, 0.05);
        EXPECT_NEAR(e2e::dominantFrequency(signal, kRate, {}), f, 10.0) << f;
    }
}

TEST(AudioAnalysis, SilenceThenToneGivesOnsetAndFrequency) {
    const auto signal = join(silence(0.5), sine(1600, 1.0));
    e2e::AnalysisOptions options;
    const auto summary = e2e::summarise(e2e::analyse(signal, kRate, options), options);
    EXPECT_NEAR(summary.firstLoud, 0.5, 0.051);
    EXPECT_NEAR(summary.lastLoud, 1.5, 0.051);
    EXPECT_NEAR(summary.loudSeconds, 1.0, 0.051);
    EXPECT_NEAR(summary.frequency, 1600, 10);
    EXPECT_NEAR(summary.peakRms, 0.5 / std::sqrt(2.0), 0.01);
}

TEST(AudioAnalysis, ToneChangeKeepsFirstFrequencyAndMedianOfTheLongerPart) {
    const auto signal = join(sine(300, 0.3), sine(400, 1.0));
    e2e::AnalysisOptions options;
    const auto summary = e2e::summarise(e2e::analyse(signal, kRate, options), options);
    EXPECT_NEAR(summary.firstFrequency, 300, 10);
    EXPECT_NEAR(summary.frequency, 400, 10);
}

TEST(AudioAnalysis, SilenceAndQuietNoiseAreNotSound) {
    auto quiet = sine(1000, 1.0, 0.005);
    e2e::AnalysisOptions options;
    for (const auto& signal : {silence(1.0), quiet}) {
        const auto summary = e2e::summarise(e2e::analyse(signal, kRate, options), options);
        EXPECT_EQ(summary.loudSeconds, 0);
        EXPECT_EQ(summary.firstLoud, -1);
        EXPECT_EQ(summary.frequency, 0);
    }
}

TEST(AudioAnalysis, MixesInterleavedStereoAndToleratesAnOddTail) {
    const std::vector<int16_t> interleaved{32767, -32768, 16384, 16384, 100};
    const auto mono = e2e::toMono(interleaved, 2);
    ASSERT_EQ(mono.size(), 2u);
    EXPECT_NEAR(mono[0], 0.0, 1e-4);
    EXPECT_NEAR(mono[1], 0.5, 1e-4);
    EXPECT_TRUE(e2e::analyse(mono, kRate, {}).empty());  // shorter than one window
}

}  // namespace
