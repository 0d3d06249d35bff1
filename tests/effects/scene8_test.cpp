// Scene8: the traced fractal landscape, drawn through the real shader text and probes built from it. The
// trace is heavy on a software rasteriser, so the canvases are tiny.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

// Scene8 writing the trace's step count to alpha.
std::string WithStepsInAlpha(const std::string& text) {
    return Replaced(text, "(1.0 + val.x) * g, 1.0);", "(1.0 + val.x) * g, steps);");
}

// Scene8 with the camera looking straight down.
std::string LookingStraightDown(const std::string& text) {
    return Replaced(text, "vec3 dir = normalize(-pos * vec3(1.0, 1.0, 0.7) + vec3(0.2, 0.0, -0.1));",
                    "vec3 dir = vec3(0.0, 0.0, -1.0);");
}

TEST(Scene8, WithoutSoundThePictureIsGrey) {
    ShaderCanvas canvas(32, 18);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene8);
    const std::vector<float> quiet = canvas.DrawFloat(program, {80.0, {}});
    float low = quiet[0], high = quiet[0];
    for (size_t i = 0; i < quiet.size(); i += 4) {
        ASSERT_EQ(quiet[i], quiet[i + 1]);
        ASSERT_EQ(quiet[i], quiet[i + 2]);
        low = std::fmin(low, quiet[i]);
        high = std::fmax(high, quiet[i]);
    }
    EXPECT_GT(high - low, 0.3f);

    const std::vector<float> loud = canvas.DrawFloat(program, {80.0, {1.5f, 1.0f, 0.7f}});
    size_t tinted = 0;
    for (size_t i = 0; i < loud.size(); i += 4) tinted += loud[i] != loud[i + 2];
    EXPECT_GT(tinted, loud.size() / 8);
}

TEST(Scene8, ARayThatNeverReachesTheGroundIsAtLeastWhite) {
    // A tall viewport has rays that climb or graze and use up all 100 trace passes.
    ShaderCanvas canvas(8, 40);
    ASSERT_TRUE(canvas.Ready());
    const std::string text = WithStepsInAlpha(shader_text::Scene8);
    const uint32_t probe = canvas.Build(text.c_str());
    for (const Uniforms& u : {Uniforms{80.0, {0.0f, 0.0f, 0.0f}}, Uniforms{105.0, {1.5f, 1.0f, 0.7f}}}) {
        const std::vector<float> px = canvas.DrawFloat(probe, u);
        int unreached = 0;
        for (size_t i = 0; i < px.size(); i += 4) {
            if (px[i + 3] != 100.0f) continue;
            ++unreached;
            for (int c = 0; c < 3; ++c) ASSERT_GE(px[i + c], 1.0f);
        }
        EXPECT_GT(unreached, 10) << "at " << u.time << " s";
    }
}

TEST(Scene8, AVerticalRayStaysPutWithTheFullGlow) {
    // 5 x 5: the centre pixel (2, 2) has the screen offset 0, so its ray is the view direction itself.
    ShaderCanvas canvas(5, 5);
    ASSERT_TRUE(canvas.Ready());
    const std::string down = LookingStraightDown(shader_text::Scene8);
    const std::string steps = WithStepsInAlpha(down);
    const std::string right =
        Replaced(steps, "gl_FragColor = vec4(color.r", "gl_FragColor = vec4(right, steps); vec4(color.r");
    const Uniforms frame{80.0, {}};

    const std::vector<float> px = canvas.DrawFloat(canvas.Build(down.c_str()), frame);
    for (float v : px) ASSERT_TRUE(std::isfinite(v));
    const float* centre = &px[(2 * 5 + 2) * 4];
    for (int c = 0; c < 3; ++c) EXPECT_GE(centre[c], 1.0f);

    EXPECT_EQ(canvas.DrawFloat(canvas.Build(steps.c_str()), frame)[(2 * 5 + 2) * 4 + 3], 100.0f);

    const std::vector<float> basis = canvas.DrawFloat(canvas.Build(right.c_str()), frame);
    for (size_t i = 0; i < basis.size(); i += 4) {
        EXPECT_EQ(basis[i], 1.0f);
        EXPECT_EQ(basis[i + 1], 0.0f);
        EXPECT_EQ(basis[i + 2], 0.0f);
    }
}

TEST(Scene8, ACollapsedDerivativeGivesTheFullHeight) {
    // The origin escapes under the constant (1, 1) while its derivative stays 0; a point near the origin
    // under the constant 0 stays bounded and lies on the set.
    ShaderCanvas canvas(1, 1);
    ASSERT_TRUE(canvas.Ready());
    const std::string text =
        Replaced(shader_text::Scene8, "void main(", "void scene_main(") +
        "\nvoid main() {\n"
        "    gl_FragColor = vec4(iter(vec4(0.0, 0.0, 1.0, 0.0), vec4(1.0, 1.0, 0.0, 0.0)),\n"
        "                        iter(vec4(0.1, 0.0, 1.0, 0.0), vec4(0.0)), 0.0, 1.0);\n"
        "}\n";
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(text.c_str()), {80.0, {}});
    ASSERT_TRUE(std::isfinite(px[0]));
    const double m = px[0] * 1.5;
    EXPECT_NEAR((1.0 - 1.0 / (1.0 + m / 0.1)) * 0.1, 0.1, 1e-6);
    EXPECT_EQ(px[1], 0.0f);
}

}  // namespace
