// Scene6: the noise layer alone, drawn through the real shader texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

TEST(Scene6, GreyOpaqueAndTwiceScene5sNoiseLayer) {
    ShaderCanvas canvas(64, 36);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene6);

    // Scene5's noise layer before it is clamped.
    std::string text = shader_text::Scene5;
    const size_t at = text.find("void main(");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 9, "void scene5_main");
    text += "\nvoid main() { gl_FragColor = bCol(); }\n";
    const uint32_t layer = canvas.Build(text.c_str());

    for (double time : {0.0, 50.0, 120.0}) {
        const std::vector<float> grey = canvas.DrawFloat(program, {time, {}});
        const std::vector<float> noise = canvas.DrawFloat(layer, {time, {}});
        float low = grey[0], high = grey[0];
        for (size_t i = 0; i < grey.size(); i += 4) {
            ASSERT_NEAR(grey[i], 2.0f * noise[i], 1e-6f) << "at " << time << " s";
            low = std::fmin(low, grey[i]);
            high = std::fmax(high, grey[i]);
        }
        // Unclamped: both signs and values beyond 1 reach the colour buffer.
        EXPECT_LT(low, 0.0f) << "at " << time << " s";
        EXPECT_GT(high, 1.0f) << "at " << time << " s";
    }
    for (const Uniforms& u : {Uniforms{50.0, {1.5f, 1.0f, 0.7f}}, Uniforms{90.0, {3.0f, 0.0f, 3.0f}}}) {
        const std::vector<float> px = canvas.DrawFloat(program, u);
        for (size_t i = 0; i < px.size(); i += 4) {
            ASSERT_EQ(px[i], px[i + 1]);
            ASSERT_EQ(px[i], px[i + 2]);
            ASSERT_EQ(px[i + 3], 1.0f);
        }
    }
}

TEST(Scene6, TheFirstTwoLevelsTurnThePlaneAndTheThirdDoesNothing) {
    ShaderCanvas canvas(64, 36);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene6);
    const std::vector<float> quiet = canvas.DrawFloat(program, {50.0, {}});
    EXPECT_EQ(quiet, canvas.DrawFloat(program, {50.0, {0.0f, 0.0f, 2.5f}}));
    EXPECT_NE(quiet, canvas.DrawFloat(program, {50.0, {0.7f, 0.0f, 0.0f}}));
    EXPECT_NE(quiet, canvas.DrawFloat(program, {50.0, {0.0f, 0.7f, 0.0f}}));
}

}  // namespace
