// Scene4: two interfering ring sets, drawn through the real shader text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Share of the 8-bit channel values in which two images differ by more than one step.
double ShareDiffering(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) differing += std::abs(int(a[i]) - int(b[i])) > 1;
    return double(differing) / double(a.size());
}

TEST(Scene4, RepeatsEveryPiSecondsWhateverTheSpectrum) {
    ShaderCanvas canvas(160, 90, HeadlessGL::Format::RGBA8);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene4);
    const std::vector<uint8_t> at68 = canvas.Draw8(program, {68.0, {0.0f, 0.0f, 0.0f}});

    EXPECT_LT(ShareDiffering(at68, canvas.Draw8(program, {68.0 + kPi, {0.0f, 0.0f, 0.0f}})), 0.01);
    EXPECT_LT(ShareDiffering(at68, canvas.Draw8(program, {68.0 + 2.0 * kPi, {0.0f, 0.0f, 0.0f}})), 0.01);
    EXPECT_EQ(at68, canvas.Draw8(program, {68.0, {1.5f, 1.0f, 0.7f}}));
    EXPECT_EQ(at68, canvas.Draw8(program, {68.0, {3.0f, 0.0f, 3.0f}}));
    // Half a period later the rings have moved: the comparisons above can tell images apart.
    EXPECT_GT(ShareDiffering(at68, canvas.Draw8(program, {68.0 + kPi / 2.0, {0.0f, 0.0f, 0.0f}})), 0.3);
}

TEST(Scene4, TheFirstRingSetIsCentredAtThreeQuartersOfTheScreen) {
    // 0.75 W and 0.75 H fall on a pixel centre: column 121, row 67.
    const int width = 162, height = 90;
    ShaderCanvas canvas(width, height);
    ASSERT_TRUE(canvas.Ready());
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(shader_text::Scene4), {0.0, {}});
    const float* centre = &px[(67 * width + 121) * 4];

    // The first term is sin(0); the second is sin of the distance to the second centre, (50 W/H, 50).
    const double second = std::sin(std::hypot(50.0 * width / height, 50.0));
    EXPECT_NEAR(centre[0], 0.8 * second, 1e-4);
    EXPECT_NEAR(centre[1], 0.9 * second, 1e-4);
    EXPECT_NEAR(centre[2], second, 1e-4);
    EXPECT_EQ(centre[3], 1.0f);
}

}  // namespace
