// The three-flashes rule on made frames: rates either side of three flashes a second, the thresholds, the red
// rule and the two readings of the area.
#include "tools/capture/flashes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr int kWidth = 96, kHeight = 54, kFps = 60;

using Colour = std::array<uint8_t, 3>;

// Plays `seconds` of frames whose pixel (x, y) at frame n is `pixel(n, x, y)`; the highest shares read.
FlashReading Worst(double seconds, const std::function<Colour(int, int, int)>& pixel) {
    FlashMeter meter(kWidth, kHeight, kFps);
    std::vector<uint8_t> frame(kWidth * kHeight * 4);
    FlashReading worst;
    for (int n = 0; n < seconds * kFps; ++n) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const Colour c = pixel(n, x, y);
                std::copy(c.begin(), c.end(), frame.begin() + (y * kWidth + x) * 4);
            }
        }
        const FlashReading r = meter.Add(frame.data());
        worst.generalFrame = std::max(worst.generalFrame, r.generalFrame);
        worst.generalRegion = std::max(worst.generalRegion, r.generalRegion);
        worst.redFrame = std::max(worst.redFrame, r.redFrame);
        worst.redRegion = std::max(worst.redRegion, r.redRegion);
    }
    return worst;
}

// A square wave between two colours at `hertz` (the first half of each period `a`).
std::function<Colour(int, int, int)> Flashing(double hertz, Colour a, Colour b) {
    return [=](int n, int, int) { return std::fmod(n * hertz / kFps, 1.0) < 0.5 ? a : b; };
}

constexpr Colour kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0};

TEST(FlashMeter, FullFrameFlashFailsAboveThreeAHertz) {
    for (const double hertz : {3.5, 4.0, 5.0, 6.0}) {
        const FlashReading r = Worst(3.0, Flashing(hertz, kBlack, kWhite));
        EXPECT_DOUBLE_EQ(r.generalFrame, 1.0) << hertz << " Hz";
        EXPECT_DOUBLE_EQ(r.generalRegion, 1.0) << hertz << " Hz";
        EXPECT_TRUE(r.Fails()) << hertz << " Hz";
    }
    for (const double hertz : {0.5, 2.0, 3.0}) {
        const FlashReading r = Worst(3.0, Flashing(hertz, kBlack, kWhite));
        EXPECT_EQ(r.generalFrame, 0.0) << hertz << " Hz";
        EXPECT_FALSE(r.Fails()) << hertz << " Hz";
    }
}

TEST(FlashMeter, ChangesUnderTheThresholdsAreNoFlashes) {
    // 0.07 of luminance, from 18 % to 25 % grey.
    EXPECT_FALSE(Worst(2.0, Flashing(6.0, Colour{118, 118, 118}, Colour{137, 137, 137})).Fails());
    // Between 0.85 and 1: the darker side is too bright to count.
    EXPECT_FALSE(Worst(2.0, Flashing(6.0, Colour{237, 237, 237}, kWhite)).Fails());
    // Just over 0.1 with the darker side just under 0.8 counts.
    EXPECT_TRUE(Worst(2.0, Flashing(6.0, Colour{229, 229, 229}, kWhite)).Fails());
    // A slow swing black to white and back, each way ramped over a frame by frame: one flash a second.
    EXPECT_FALSE(Worst(3.0, [](int n, int, int) {
                     const auto v =
                         static_cast<uint8_t>(std::lround(255 * std::abs(std::fmod(n / 30.0, 2.0) - 1)));
                     return Colour{v, v, v};
                 }).Fails());
}

TEST(FlashMeter, SaturatedRedFailsTheRedRule) {
    // Red against a grey of about its luminance: no general flash, a red one.
    const FlashReading red = Worst(2.0, Flashing(5.0, kRed, Colour{128, 128, 128}));
    EXPECT_EQ(red.generalFrame, 0.0);
    EXPECT_DOUBLE_EQ(red.redFrame, 1.0);
    EXPECT_TRUE(red.Fails());
    // The same change in an unsaturated orange is not red.
    const FlashReading orange = Worst(2.0, Flashing(5.0, Colour{255, 140, 0}, Colour{200, 200, 200}));
    EXPECT_EQ(orange.redFrame, 0.0);
    // Red against black is both.
    const FlashReading both = Worst(2.0, Flashing(5.0, kRed, kBlack));
    EXPECT_DOUBLE_EQ(both.generalFrame, 1.0);
    EXPECT_DOUBLE_EQ(both.redFrame, 1.0);
}

TEST(FlashMeter, SmallSquarePassesTheFrameAndFailsTheRegion) {
    FlashMeter meter(kWidth, kHeight, kFps);
    ASSERT_EQ(meter.RegionWidth(), 32);
    ASSERT_EQ(meter.RegionHeight(), 18);
    const auto flashing = Flashing(5.0, kBlack, kWhite);
    const auto square = [&](int left, int top, int size) {
        return [=](int n, int x, int y) {
            return x >= left && x < left + size && y >= top && y < top + size ? flashing(n, x, y) : kBlack;
        };
    };
    // 18 x 18 pixels flashing, 6 % of the frame: the whole region's height, 56 % of it.
    const FlashReading small = Worst(2.0, square(70, 30, 18));
    EXPECT_NEAR(small.generalFrame, 18.0 * 18 / (kWidth * kHeight), 1e-9);
    EXPECT_NEAR(small.generalRegion, 18.0 * 18 / (32 * 18), 1e-9);
    EXPECT_LT(small.generalFrame, kFlashingShare);
    EXPECT_TRUE(small.Fails());
    // 8 x 8 pixels: 11 % of a region, passes both.
    EXPECT_FALSE(Worst(2.0, square(10, 10, 8)).Fails());
}

}  // namespace

namespace {

TEST(FlashReport, FailingWindowsMakeSpansWithTheirScenes) {
    FlashReport report(4);  // windows of four frames
    const FlashReading calm{0.1, 0.2, 0.0, 0.0}, bright{0.3, 0.9, 0.0, 0.0}, local{0.1, 0.5, 0.0, 0.3};
    const struct {
        double time;
        const char* scene;
        FlashReading reading;
    } frames[] = {{0.0, "A", calm}, {0.25, "A", calm},  {0.5, "B", bright}, {0.75, "B", local},
                  {1.0, "B", calm}, {1.25, "B", calm},  {1.5, "B", calm},   {1.75, "B", calm},
                  {2.0, "C", calm}, {2.25, "C", local}, {2.5, "C", calm},   {2.75, "C", calm}};
    for (const auto& f : frames) report.Add(f.time, f.scene, f.reading);
    EXPECT_EQ(report.Windows(), 12);
    EXPECT_EQ(report.Failing(), 3);
    EXPECT_EQ(
        report.Text(),
        "0.00 to 1.00 s (A, B): general flash over 30 % of the frame, 90 % of a region; red flash over 0 "
        "%, 30 %\n"
        "1.50 to 2.50 s (B, C): general flash over 10 % of the frame, 50 % of a region; red flash over 0 "
        "%, 30 %\n"
        "3 of 12 one-second windows fail (1 on the whole frame), 2.0 s of the show in 2 spans; at most 30 % "
        "of the frame (0.50 s, B) and 90 % of a region flash, red at most 0 % and 30 %\n");
}

}  // namespace
