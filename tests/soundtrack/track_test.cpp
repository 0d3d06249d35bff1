// The track the build composes, decoded with the show's own audio layer: its length, its levels, the three
// picture bands in every scheduled slot, its sections on the schedule's thresholds, and its reproducibility.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/levels.h"
#include "audio/sdl/platform.h"
#include "audio/spectrum.h"
#include "scenes/scene_schedule.h"
#include "tools/soundtrack/loudness.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int kFramesPerPicture = kRate / 60;  // the show reads the levels 60 times a second
constexpr double kBeat = 2.0 / 3.0;            // seconds, at 90 beats a minute
constexpr double kBar = 4.0 * kBeat;

const audio::DecodedTrack& Track() {
    static const audio::DecodeResult decoded = audio::DecodeStream(SOUNDTRACK_FILE);
    if (!decoded.track) {
        ADD_FAILURE() << SOUNDTRACK_FILE << ": " << decoded.error;
        std::abort();
    }
    return *decoded.track;
}

int64_t FrameAt(double seconds) {
    return std::llround(seconds * kRate);
}

// The three levels the pictures see when the show plays `seconds` into the track.
std::array<float, 3> LevelsAt(double seconds) {
    float spectrum[audio::kSpectrumBins];
    audio::Spectrum(Track(), FrameAt(seconds), spectrum);
    std::array<float, 3> levels;
    audio::SpectrumLevels(spectrum, levels.data());
    return levels;
}

// Energies in third-octave bands from 40 Hz up, in dB, of the window centred on `seconds`.
std::vector<double> BandsAt(double seconds) {
    float spectrum[audio::kSpectrumBins];
    audio::Spectrum(Track(), FrameAt(seconds) - audio::kFftSize / 2, spectrum);
    std::vector<double> bands;
    for (double low = 40.0; low < 16000.0; low *= std::cbrt(2.0)) {
        const int first = static_cast<int>(low * audio::kFftSize / kRate);
        const int last =
            std::max(first + 1, static_cast<int>(low * std::cbrt(2.0) * audio::kFftSize / kRate));
        double energy = 1e-6;  // -60 dB: quieter than that counts as silence
        for (int bin = first; bin < last; ++bin) energy += spectrum[bin] * spectrum[bin];
        bands.push_back(10.0 * std::log10(energy));
    }
    return bands;
}

// How far the spectral content moves between two windows: the mean change of the bands, in dB.
double Jump(const std::vector<double>& before, const std::vector<double>& after) {
    double sum = 0.0;
    for (size_t band = 0; band < before.size(); ++band) sum += std::abs(after[band] - before[band]);
    return sum / static_cast<double>(before.size());
}

// The scheduled slots: each row's span, then the white scene up to the show's end.
std::vector<std::pair<double, double>> Slots() {
    std::vector<std::pair<double, double>> slots;
    double start = 0.0;
    for (const ScheduleRow& row : ShowSchedule().rows) {
        slots.emplace_back(start, row.threshold);
        start = row.threshold;
    }
    slots.emplace_back(start, ShowSchedule().end);
    return slots;
}

TEST(Soundtrack, IsStereoAt44100HzAndRingsPastTheShowsEnd) {
    const audio::DecodedTrack& track = Track();
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(track.sampleRate, kRate);
    EXPECT_GE(track.Frames(), FrameAt(209.0));

    // The last chord still sounds when the show ends, and has died away by the end of the file.
    const auto rms = [&](double from, double to) {
        double sum = 0.0;
        for (int64_t frame = FrameAt(from); frame < FrameAt(to); ++frame) {
            for (int c = 0; c < 2; ++c) sum += std::pow(track.samples[static_cast<size_t>(2 * frame + c)], 2);
        }
        return std::sqrt(sum / static_cast<double>(2 * (FrameAt(to) - FrameAt(from))));
    };
    const double end = static_cast<double>(track.Frames()) / kRate;
    EXPECT_GT(rms(ShowSchedule().end, ShowSchedule().end + 0.5), 0.01);
    EXPECT_LT(rms(end - 0.1, end), 0.001);
}

TEST(Soundtrack, PeaksUnderMinusOneDbfsWithoutDc) {
    const audio::DecodedTrack& track = Track();
    float peak = 0.0f;
    for (const float sample : track.samples) peak = std::max(peak, std::abs(sample));
    EXPECT_LE(peak, std::pow(10.0f, -1.0f / 20.0f));

    // The mean of each channel over every ten seconds.
    const int64_t window = 10 * kRate;
    for (int64_t start = 0; start + window <= track.Frames(); start += window) {
        for (int c = 0; c < 2; ++c) {
            double sum = 0.0;
            for (int64_t frame = start; frame < start + window; ++frame) {
                sum += track.samples[static_cast<size_t>(2 * frame + c)];
            }
            EXPECT_LT(std::abs(sum / window), 1e-3) << "channel " << c << " from " << start / kRate << " s";
        }
    }
}

// Loud as a release and no louder, with room between its still and its loud sections, the summit loudest of
// all, and spread wide across the sides.
TEST(Soundtrack, IsMasteredLikeARelease) {
    const audio::DecodedTrack& track = Track();
    const soundtrack::Loudness loudness(track.samples);
    EXPECT_NEAR(loudness.Integrated(), -14.0, 1.0);

    // The median short-term loudness of the bars [from, to), and its highest.
    const auto stretch = [&](int from, int to) {
        std::vector<double> values;
        for (double end = from * kBar + 3.0; end <= to * kBar; end += 0.1)
            values.push_back(loudness.ShortTerm(end));
        std::sort(values.begin(), values.end());
        return std::pair(values[values.size() / 2], values.back());
    };
    const double summitPeak = stretch(70, 74).second;
    for (const auto& [from, to] : {std::pair(21, 25), std::pair(45, 49)}) {
        for (const auto& [loudFrom, loudTo] : {std::pair(29, 37), std::pair(37, 45), std::pair(70, 74)}) {
            EXPECT_LE(stretch(from, to).first, stretch(loudFrom, loudTo).first - 4.0)
                << "bars " << from << " to " << to << " against " << loudFrom << " to " << loudTo;
        }
    }
    for (int bar = 0; bar + 4 <= 70; bar += 2)
        EXPECT_LT(stretch(bar, bar + 4).second, summitPeak) << "bar " << bar;

    double both = 0.0, left = 0.0, right = 0.0;
    for (size_t n = 0; n + 1 < track.samples.size(); n += 2) {
        both += track.samples[n] * track.samples[n + 1];
        left += track.samples[n] * track.samples[n];
        right += track.samples[n + 1] * track.samples[n + 1];
    }
    EXPECT_LE(both / std::sqrt(left * right), 0.75);
}

// Each band reaches above 1 on the strokes written for it and falls near 0 between them, in every slot.
TEST(Soundtrack, EachPictureLevelComesAndGoesInEverySlot) {
    constexpr const char* kBands[3] = {"431 Hz", "1077 Hz", "4307 Hz"};
    for (const auto& [start, end] : Slots()) {
        std::array<float, 3> lowest{1e9f, 1e9f, 1e9f}, highest{};
        for (int64_t picture = std::llround(std::ceil(start * 60)); picture < end * 60; ++picture) {
            const std::array<float, 3> levels =
                LevelsAt(static_cast<double>(picture * kFramesPerPicture) / kRate);
            for (int band = 0; band < 3; ++band) {
                lowest[band] = std::min(lowest[band], levels[band]);
                highest[band] = std::max(highest[band], levels[band]);
            }
        }
        for (int band = 0; band < 3; ++band) {
            EXPECT_LT(lowest[band], 0.2f) << kBands[band] << " from " << start << " s to " << end << " s";
            EXPECT_GT(highest[band], 1.0f) << kBands[band] << " from " << start << " s to " << end << " s";
        }
    }
}

// Around each threshold the spectrum jumps furthest on the threshold itself: within a beat either side, the
// largest change between windows a picture apart lies within 50 ms of it.
TEST(Soundtrack, SectionsChangeOnTheScheduleThresholds) {
    for (const ScheduleRow& row : ShowSchedule().rows) {
        const double step = 1.0 / 60.0;
        double bestTime = 0.0, bestJump = -1.0;
        std::vector<double> before = BandsAt(row.threshold - kBeat - step);
        for (double time = row.threshold - kBeat; time <= row.threshold + kBeat; time += step) {
            std::vector<double> after = BandsAt(time);
            const double jump = Jump(before, after);
            if (jump > bestJump) {
                bestJump = jump;
                bestTime = time - step / 2.0;  // between the two windows' centres
            }
            before = std::move(after);
        }
        EXPECT_NEAR(bestTime, row.threshold, 0.05) << "the section change nearest " << row.threshold << " s";
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Soundtrack, GeneratorWritesTheSameBytesEveryRun) {
    const fs::path dir = fs::temp_directory_path() / ("soundtrack_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path again = dir / "Glacierhorn.mp3";
    const std::string command = std::string("'") + SOUNDTRACK_TOOL + "' '" + again.string() + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    const std::string built = ReadFile(SOUNDTRACK_FILE);
    EXPECT_FALSE(built.empty());
    EXPECT_TRUE(built == ReadFile(again)) << "the build's track and a second run differ";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no partial file left";
    fs::remove_all(dir);
}

}  // namespace
