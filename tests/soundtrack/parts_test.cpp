// The parts of the soundtrack generator that the ear would miss: the band stop that leaves the picture bands
// to the strokes, the limiter, the MP3 writer's exact length, and the note names of the score.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "audio/sdl_platform.h"
#include "tools/soundtrack/band_stop.h"
#include "tools/soundtrack/dsp.h"
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

TEST(Limit, HoldsPeaksUnderTheCeilingAndLeavesTheRestAlone) {
    Bus bus = Tone(220.0, 3.0);
    for (int64_t n = 0; n < bus.Frames(); ++n) {
        const float gain = n >= Frames(1.0) && n < Frames(1.1) ? 2.0f : 0.5f;  // a loud burst in a quiet tone
        bus.left[static_cast<size_t>(n)] *= gain;
        bus.right[static_cast<size_t>(n)] *= gain;
    }
    const Bus before = bus;
    Limit(bus, 0.75f, Frames(0.004), 0.1);
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

TEST(Mp3, ReportsAPathItCannotWrite) {
    EXPECT_NE(WriteMp3("/nonexistent/folder/track.mp3", std::vector<float>(2 * 4410)), "");
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
