// The parts of the soundtrack generator that the ear would miss: the band stop that leaves the picture bands
// to the strokes, the limiter, the MP3 writer's exact length, and the note names of the score.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "audio/sdl/platform.h"
#include "tools/soundtrack/band_stop.h"
#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/loudness.h"
#include "tools/soundtrack/mix.h"
#include "tools/soundtrack/mp3.h"
#include "tools/soundtrack/reverb.h"
#include "tools/soundtrack/score.h"

namespace soundtrack {
namespace {

constexpr double kBands[] = {BinHz(20), BinHz(50), BinHz(200)};

// A bus with a sine of `hz` on the left and its cosine on the right.
Bus Tone(double hz, double seconds) {
    Bus bus(Frames(seconds));
    for (int64_t n = 0; n < bus.Frames(); ++n) {
        const double phase = 2.0 * kPi * hz * static_cast<double>(n) / kRate;
        bus.left[static_cast<size_t>(n)] = static_cast<float>(std::sin(phase));
        bus.right[static_cast<size_t>(n)] = static_cast<float>(std::cos(phase));
    }
    return bus;
}

// The largest difference between the channel and `expected`, away from the ends.
double MiddleError(const std::vector<float>& channel, const std::vector<float>& expected) {
    double error = 0.0;
    for (size_t n = channel.size() / 4; n < 3 * channel.size() / 4; ++n) {
        error = std::max(error, static_cast<double>(std::abs(channel[n] - expected[n])));
    }
    return error;
}

TEST(BandStop, ClearsThePictureBandsAndPassesTheRestInPlace) {
    const Notch notches[] = {{kBands[0], 45.0}, {kBands[1], 45.0}, {kBands[2], 45.0}};
    const BandStop stop(notches);
    for (const double centre : kBands) {
        for (const double offset : {-45.0, 0.0, 45.0}) {
            Bus bus = Tone(centre + offset, 2.0);
            const Bus silence(bus.Frames());
            stop.Apply(bus);
            EXPECT_LT(MiddleError(bus.left, silence.left), 0.005) << centre + offset << " Hz";
            EXPECT_LT(MiddleError(bus.right, silence.right), 0.005) << centre + offset << " Hz";
        }
        for (const double offset : {-70.0, 70.0}) {
            const Bus tone = Tone(centre + offset, 2.0);
            Bus bus = tone;
            stop.Apply(bus);
            // Same amplitude and same phase: no delay left in the output.
            EXPECT_LT(MiddleError(bus.left, tone.left), 0.01) << centre + offset << " Hz";
            EXPECT_LT(MiddleError(bus.right, tone.right), 0.01) << centre + offset << " Hz";
        }
    }
    for (const double hz : {55.0, 300.0, 740.0, 2500.0, 9000.0}) {
        const Bus tone = Tone(hz, 2.0);
        Bus bus = tone;
        stop.Apply(bus);
        EXPECT_LT(MiddleError(bus.left, tone.left), 0.005) << hz << " Hz";
    }
}

// The gain of the taps at `hz`.
double Response(const BandStop& stop, double hz) {
    std::complex<double> sum;
    const std::vector<double>& taps = stop.Taps();
    for (size_t n = 0; n < taps.size(); ++n) sum += taps[n] * std::polar(1.0, -2.0 * kPi * hz * n / kRate);
    return std::abs(sum);
}

// Each notch of the mix is no wider than a sixth of an octave where it is 3 dB down.
TEST(BandStop, NotchesAreASixthOfAnOctaveAtMost) {
    const Notch notches[] = {{kBands[0], 14.0}, {kBands[1], 40.0}, {kBands[2], 45.0}};
    const BandStop stop(notches);
    for (const double centre : kBands) {
        double low = centre, high = centre;
        while (Response(stop, low) < std::sqrt(0.5)) low -= 0.5;
        while (Response(stop, high) < std::sqrt(0.5)) high += 0.5;
        EXPECT_LT(std::log2(high / low), 1.0 / 6.0) << centre << " Hz";
        EXPECT_LT(Response(stop, centre), 0.01) << centre << " Hz";
    }
}

TEST(Limit, HoldsPeaksUnderTheCeilingAndLeavesTheRestAlone) {
    Bus bus = Tone(220.0, 3.0);
    for (int64_t n = 0; n < bus.Frames(); ++n) {
        const float gain = n >= Frames(1.0) && n < Frames(1.1) ? 2.0f : 0.5f;  // a loud burst in a quiet tone
        bus.left[static_cast<size_t>(n)] *= gain;
        bus.right[static_cast<size_t>(n)] *= gain;
    }
    const Bus before = bus;
    const std::vector<float> gain = Limit(bus, 0.75f, Frames(0.004), 0.1);
    ASSERT_EQ(static_cast<int64_t>(gain.size()), bus.Frames());
    EXPECT_NEAR(*std::min_element(gain.begin(), gain.end()), 0.375f, 0.01f);  // the burst's need, 0.75 / 2
    EXPECT_EQ(gain[static_cast<size_t>(Frames(0.5))], 1.0f);
    float peak = 0.0f, largestStep = 0.0f;
    for (int64_t n = 0; n < bus.Frames(); ++n) {
        peak = std::max({peak, std::abs(bus.left[n]), std::abs(bus.right[n])});
        largestStep = std::max(largestStep, std::abs(bus.left[n] - (n > 0 ? bus.left[n - 1] : 0.0f)));
    }
    EXPECT_LE(peak, 0.75f + 1e-6f);
    // The gain moves smoothly: no sample jumps further than the tone itself does.
    EXPECT_LT(largestStep, 2.0f * 2.0f * kPi * 220.0f / kRate);
    // Well before the burst, and once the gain has recovered after it, the tone is as it was.
    for (const double at : {0.5, 2.5}) {
        EXPECT_NEAR(bus.left[Frames(at)], before.left[Frames(at)], 1e-4) << at << " s";
    }
    EXPECT_LT(std::abs(bus.left[Frames(1.05)]), 0.75f * 0.5f * 2.0f);  // and inside the burst it is held down
}

TEST(Mp3, DecodesToExactlyTheFramesWritten) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("soundtrack_mp3_" + std::to_string(getpid()) + ".mp3");
    const int64_t frames = Frames(1.5) + 123;  // not a whole number of MP3 frames
    const int64_t click = Frames(0.75);
    std::vector<float> interleaved(static_cast<size_t>(2 * frames));
    for (int64_t n = 0; n < frames; ++n) {
        const float tone =
            0.3f * static_cast<float>(std::sin(2.0 * kPi * 440.0 * static_cast<double>(n) / kRate));
        interleaved[static_cast<size_t>(2 * n)] = n == click ? 0.9f : tone;
        interleaved[static_cast<size_t>(2 * n + 1)] = tone;
    }
    ASSERT_EQ(WriteMp3(path.string(), interleaved), "");
    const audio::DecodeResult decoded = audio::DecodeStream(path.c_str());
    std::filesystem::remove(path);
    ASSERT_TRUE(decoded.track) << decoded.error;
    EXPECT_EQ(decoded.track->channels, 2);
    EXPECT_EQ(decoded.track->sampleRate, kRate);
    ASSERT_EQ(decoded.track->Frames(), frames);

    // Nothing shifted: the click comes back where it was written, on the left only.
    int64_t loudest = 0;
    for (int64_t n = 0; n < frames; ++n) {
        const float left = decoded.track->samples[static_cast<size_t>(2 * n)];
        const float right = decoded.track->samples[static_cast<size_t>(2 * n + 1)];
        const float best = decoded.track->samples[static_cast<size_t>(2 * loudest)] -
                           decoded.track->samples[static_cast<size_t>(2 * loudest + 1)];
        if (left - right > best) loudest = n;
    }
    EXPECT_NEAR(static_cast<double>(loudest), static_cast<double>(click), 2.0);
}

// A folder that is not there and a full disk (a file size limit here) are reported, and leave nothing: not
// their partial file, and not a file of the user's under a name like it.
TEST(Mp3, ReportsAPathItCannotWrite) {
    EXPECT_NE(WriteMp3("/nonexistent/folder/track.mp3", std::vector<float>(2 * 4410)), "");

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("soundtrack_full_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "track.mp3.part") << "precious";
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{16384, limit.rlim_max};
    const auto noted = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    const std::string error = WriteMp3((dir / "track.mp3").string(), std::vector<float>(2 * kRate * 5));
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, noted);
    EXPECT_EQ(error, "File too large");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"track.mp3.part"});
    std::ifstream kept(dir / "track.mp3.part");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "precious");
    std::filesystem::remove_all(dir);
}

TEST(Score, ReadsNoteNames) {
    EXPECT_EQ(ParseNote("C4"), 60);
    EXPECT_EQ(ParseNote("A4"), 69);
    EXPECT_EQ(ParseNote("F#3"), 54);
    EXPECT_EQ(ParseNote("Bb2"), 46);
    EXPECT_EQ(ParseNote("E#4"), 65);
    for (const char* wrong : {"", "H4", "C", "C#", "C44", "-", "c4"})
        EXPECT_EQ(ParseNote(wrong), -1) << wrong;
}

// The hall rings on after an impulse and dies away: no blow-up, no endless tail.
TEST(Reverb, RingsAndDiesAway) {
    std::vector<float> send(static_cast<size_t>(Frames(8.0)));
    send[0] = 1.0f;
    Bus out(Frames(8.0));
    Reverberate(send, ReverbShape{}, 1.0f, out);
    const auto energy = [&](double from, double to) {
        double sum = 0.0;
        for (int64_t n = Frames(from); n < Frames(to); ++n)
            sum += out.left[n] * out.left[n] + out.right[n] * out.right[n];
        return sum;
    };
    EXPECT_EQ(energy(0.0, 0.035), 0.0);  // the predelay
    EXPECT_GT(energy(1.0, 1.5), 1e-3 * energy(0.0, 0.5));
    EXPECT_LT(energy(7.5, 8.0), 1e-6 * energy(0.0, 0.5));
    EXPECT_GT(energy(0.0, 8.0), 0.0);
}

// The mix is set to the loudness of a release, and the limiter only catches peaks: it never takes off more
// than 3 dB.
TEST(Mix, MeetsTheLoudnessTargetWithTheLimiterTakingOffLittle) {
    const Mixdown mix = Render(Compose());
    ASSERT_EQ(mix.frames.size(), 2 * mix.gain.size());
    const float least = *std::min_element(mix.gain.begin(), mix.gain.end());
    EXPECT_GE(20.0 * std::log10(least), -kMostGainReduction - 0.01);
    EXPECT_NEAR(Loudness(mix.frames).Integrated(), kTargetLoudness, 1.0);
}

// Loudness of a known signal: a full-scale 1 kHz sine on both channels reads 0 LUFS, and the gate leaves out
// the stretch 20 dB under it that follows (counted in, the two would read 3 dB lower).
TEST(Loudness, ReadsASineAndGatesTheQuietStretch) {
    std::vector<float> frames(static_cast<size_t>(2 * Frames(12.0)));
    for (int64_t n = 0; n < Frames(8.0); ++n) {
        const float value = (n < Frames(4.0) ? 1.0f : 0.1f) *
                            static_cast<float>(std::sin(2.0 * kPi * 1000.0 * static_cast<double>(n) / kRate));
        frames[static_cast<size_t>(2 * n)] = frames[static_cast<size_t>(2 * n + 1)] = value;
    }
    const Loudness loudness(frames);
    EXPECT_NEAR(loudness.Integrated(), 0.0, 0.25);
    EXPECT_NEAR(loudness.ShortTerm(3.5), 0.0, 0.05);
    EXPECT_NEAR(loudness.ShortTerm(7.5), -20.0, 0.05);
    EXPECT_LT(loudness.ShortTerm(12.0), -70.0);
}

// Crashes mark only the arrivals of phrases, a handful in the piece, and the lead never plays the same two
// bars more than twice.
TEST(Score, CrashesAreFewAndTheLeadVaries) {
    const Score score = Compose();
    std::vector<int64_t> crashes;
    for (const Event& event : score.events) {
        if (event.voice != Voice::Crash) continue;
        EXPECT_EQ(event.start % kBar, 0) << "a crash off the bar line at frame " << event.start;
        crashes.push_back(event.start);
    }
    EXPECT_LE(crashes.size(), 8u);
    for (size_t i = 1; i < crashes.size(); ++i)
        EXPECT_GE(crashes[i] - crashes[i - 1], 4 * kBar) << crashes[i];

    // Each stretch of two bars that the lead starts on its first beat, as its notes (start, length, pitch).
    using Notes = std::vector<std::tuple<int64_t, int64_t, double>>;
    std::map<Notes, std::vector<int64_t>> bars;
    for (int64_t from = 0; from < score.frames; from += kBar) {
        Notes notes;
        for (const Event& event : score.events) {
            if (event.voice != Voice::Horn || event.start < from || event.start >= from + 2 * kBar) continue;
            notes.emplace_back(event.start - from, std::min(event.length, from + 2 * kBar - event.start),
                               event.pitch);
        }
        if (!notes.empty() && std::get<0>(notes.front()) == 0) bars[notes].push_back(from / kBar);
    }
    ASSERT_GT(bars.size(), 10u);
    for (const auto& [notes, at] : bars) EXPECT_LE(at.size(), 2u) << "the two bars from bar " << at[0];
}

// Every note lies inside the piece, and the voices that pass through the band stop (horns and pad) keep their
// fundamentals clear of the picture bands, where they would lose them.
TEST(Score, HeldVoicesKeepTheirFundamentalsOffThePictureBands) {
    const Score score = Compose();
    ASSERT_FALSE(score.events.empty());
    for (const Event& event : score.events) {
        EXPECT_GE(event.start, 0);
        EXPECT_LT(event.start, score.frames);
        EXPECT_GT(event.length, 0);
        const bool pitched = event.voice == Voice::Bell || event.voice == Voice::Bass ||
                             event.voice == Voice::Pad || event.voice == Voice::Horn ||
                             event.voice == Voice::SecondHorn;
        if (!pitched) continue;
        EXPECT_GE(event.pitch, 24) << "at frame " << event.start;
        EXPECT_LE(event.pitch, 96) << "at frame " << event.start;
        if (event.voice == Voice::Pad || event.voice == Voice::Horn || event.voice == Voice::SecondHorn) {
            for (const double band : kBands) {
                EXPECT_GT(std::abs(NoteHz(event.pitch) - band), 60.0)
                    << "pitch " << event.pitch << " at frame " << event.start;
            }
        }
    }
}

}  // namespace
}  // namespace soundtrack
