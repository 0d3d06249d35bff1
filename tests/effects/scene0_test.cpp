// Scene0: the closing orbit scene, drawn through the real shader text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

// The colour of an orbit that never leaves the disc of radius 2 (largest squared modulus 4).
constexpr float kDarkest[3] = {0.0366f, 0.0455f, 0.0517f};

TEST(Scene0, FromNinetySecondsIntoTheSlotEveryPixelIsWhite) {
    ShaderCanvas canvas(160, 90);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene0);
    for (double time : {190.0, 193.5, 197.3}) {
        for (const Uniforms& u : {Uniforms{time, {0.0f, 0.0f, 0.0f}}, Uniforms{time, {1.5f, 1.0f, 0.7f}},
                                  Uniforms{time, {3.0f, 3.0f, 3.0f}}}) {
            const std::vector<float> px = canvas.DrawFloat(program, u);
            for (size_t i = 0; i < px.size(); i += 4) {
                ASSERT_GE(std::min({px[i], px[i + 1], px[i + 2]}), 1.0f)
                    << "pixel " << i / 4 << " at " << time << " s, val.x " << u.val[0];
            }
        }
    }
}

TEST(Scene0, AtTheTangentsPoleTheImageFlattens) {
    ShaderCanvas canvas(160, 90);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene0);
    const auto redRange = [&](double time) {
        const std::vector<float> px = canvas.DrawFloat(program, {time, {}});
        float low = px[0], high = px[0];
        for (size_t i = 0; i < px.size(); i += 4) low = std::min(low, px[i]), high = std::max(high, px[i]);
        return high - low;
    };
    EXPECT_LT(redRange(183.40), 0.01f);
    EXPECT_GT(redRange(160.0), 0.5f);  // filaments reaching white
}

TEST(Scene0, AnOrbitWithinTwoGivesTheDarkestColour) {
    // Every orbit starts at (2, 0), so no pixel is darker than the darkest colour.
    ShaderCanvas canvas(160, 90);
    ASSERT_TRUE(canvas.Ready());
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(shader_text::Scene0), {160.0, {}});
    for (size_t i = 0; i < px.size(); i += 4)
        for (int c = 0; c < 3; ++c) ASSERT_GE(px[i + c], kDarkest[c] - 1e-4f);

    // With the factor n = 0 the orbit cycles between (-0.5, -0.5) and (-1.5, 0.5).
    std::string text = shader_text::Scene0;
    const size_t at = text.find("vec2 p = vec2(2.0, 0.0);");
    ASSERT_NE(at, std::string::npos);
    text.insert(at, "n = vec2(0.0, 0.0);\n    ");
    const std::vector<float> still = canvas.DrawFloat(canvas.Build(text.c_str()), {160.0, {}});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(still[c], kDarkest[c], 1e-4);
    EXPECT_EQ(still[3], 1.0f);
}

}  // namespace
