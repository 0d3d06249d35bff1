// Scene1: the banded fold-and-invert fractal, drawn through the real shader text and probes built from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

// Scene1 writing `value` instead of its colour.
std::string Writing(const std::string& value) {
    return Replaced(shader_text::Scene1, "gl_FragColor = vec4(color * (1.0 - val.x / 4.0)",
                    "gl_FragColor = " + value + "; vec4 unused = vec4(color * (1.0 - val.x / 4.0)");
}

TEST(Scene1, IterationCountFollowsTheBarsPlayed) {
    ShaderCanvas canvas(4, 4);
    ASSERT_TRUE(canvas.Ready());
    const std::string text = Writing("vec4(float(max_iteration), 0.0, 0.0, 1.0)");
    const uint32_t probe = canvas.Build(text.c_str());
    const struct {
        double time;
        float count;
    } cases[] = {{10.67, 12.0f}, {13.3, 12.0f}, {13.34, 16.0f}, {15.99, 16.0f},
                 {23.9, 28.0f},  {24.0, 32.0f}, {90.0, 32.0f},  {200.0, 32.0f}};
    for (const auto& c : cases) {
        const std::vector<float> px = canvas.DrawFloat(probe, {c.time, {}});
        for (size_t i = 0; i < px.size(); i += 4) ASSERT_EQ(px[i], c.count) << "at " << c.time << " s";
    }
}

TEST(Scene1, WithoutSoundTheSecondSlotIsStill) {
    ShaderCanvas canvas(80, 45);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene1);
    const std::vector<float> first = canvas.DrawFloat(program, {88.0, {}});
    EXPECT_EQ(first, canvas.DrawFloat(program, {90.7, {}}));
    EXPECT_EQ(first, canvas.DrawFloat(program, {93.3, {}}));
    EXPECT_NE(first, canvas.DrawFloat(program, {90.7, {0.5f, 0.0f, 0.0f}}));
}

TEST(Scene1, ChannelFactorsAtTheTopOfTheLevels) {
    ShaderCanvas canvas(80, 45);
    ASSERT_TRUE(canvas.Ready());
    const Uniforms loud{90.0, {3.0f, 3.0f, 3.0f}};
    const std::string text = Writing("vec4(color, color, color, 1.0)");
    const std::vector<float> brightness = canvas.DrawFloat(canvas.Build(text.c_str()), loud);
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(shader_text::Scene1), loud);
    int bright = 0;
    for (size_t i = 0; i < px.size(); i += 4) {
        if (brightness[i] < 0.05f) continue;
        ++bright;
        ASSERT_NEAR(px[i] / brightness[i], 0.25, 1e-5);
        ASSERT_NEAR(px[i + 1] / brightness[i], 0.875, 1e-5);
        ASSERT_NEAR(px[i + 2] / brightness[i], 0.953125, 1e-5);
    }
    EXPECT_GT(bright, 100);
}

// Where the sine of the bands is negative the pixel is black; before the third bar no pass runs and every
// pixel shows the band of an average of 0.
TEST(Scene1, NegativeSinesAndEmptyAveragesGiveDefinedBrightness) {
    ShaderCanvas canvas(80, 45);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene1);
    for (double time : {12.0, 14.5, 90.0}) {
        const std::vector<float> px = canvas.DrawFloat(program, {time, {}});
        size_t black = 0;
        for (size_t i = 0; i < px.size(); i += 4) {
            ASSERT_TRUE(px[i] >= 0.0f && px[i] <= 1.0f) << px[i] << " at " << time << " s";
            black += px[i] == 0.0f;
        }
        EXPECT_GT(black, px.size() / 4 / 10) << "at " << time << " s";
    }
    for (double time : {2.0, 4.0, 5.0}) {
        const std::vector<float> px = canvas.DrawFloat(program, {time, {}});
        const double s = std::sin(std::pow(0.9, 8.0) + 0.1 * time * time);
        const double expected = std::sqrt(std::pow(std::max(s, 0.0), 10.5));
        for (size_t i = 0; i < px.size(); i += 4) ASSERT_NEAR(px[i], expected, 1e-4) << "at " << time << " s";
    }
}

}  // namespace
