// Scene5 and Scene5_1: the fractal layer, the noise layer and their blend, read through the scene texts. A
// probe renames a scene's entry and its pixel position so that fCol and bCol can be read at chosen points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

constexpr int kW = 160, kH = 90;
constexpr double kSilentTime = 40.0;  // past 31.62 s the fractal's time term is constant

// The scene's text with its entry renamed, reading its pixel position from `probeCoord`, followed by `body`
// as the new entry.
std::string ProbeOf(const char* scene, const std::string& body) {
    return "#define main scene_main\n#define gl_FragCoord probeCoord\nvec4 probeCoord;\n" +
           std::string(scene) + "\n#undef main\n#undef gl_FragCoord\nvoid main(void) {\n" + body + "\n}\n";
}

std::vector<float> Draw(const std::string& text, const Uniforms& u, int w = kW, int h = kH) {
    ShaderCanvas canvas(w, h);
    if (!canvas.Ready()) return {};
    return canvas.DrawFloat(canvas.Build(text.c_str()), u);
}

// fCol at the picture's lower left corner, centre and upper right corner (pixel positions, not pixel
// centres).
std::vector<float> FractalAtCornersAndCentre(const char* scene, const Uniforms& u) {
    return Draw(ProbeOf(scene, R"glsl(
    float i = floor(gl_FragCoord.x);
    probeCoord = vec4(resolution * (i == 0.0 ? 0.0 : (i == 1.0 ? 0.5 : 1.0)), 0.5, 1.0);
    gl_FragColor = fCol();)glsl"),
                u, 3, 1);
}

TEST(Scene5, FractalLayerAtTheReferenceStartPoints) {
    // Start points (0.07, 1.05), (0.42, 1.40) and (0.77, 1.75), whose averages are 0.3877, 0.3388 and 0.1694.
    const std::vector<float> f = FractalAtCornersAndCentre(shader_text::Scene5, Uniforms{kSilentTime});
    ASSERT_EQ(f.size(), 12u);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(f[4 * p], f[4 * p + 1]) << "grey at silence";
        EXPECT_EQ(f[4 * p], f[4 * p + 2]) << "grey at silence";
        EXPECT_EQ(f[4 * p + 3], 1.0f);
    }
    EXPECT_NEAR(f[0], 0.0167, 2e-3);
    EXPECT_EQ(f[4], 0.0f) << "the sine is negative at the centre: no 10.5th power, black";
    EXPECT_NEAR(f[8], 0.437, 0.01);
}

TEST(Scene5, Scene5_1IsTheSameIterationOverAnotherStartRegion) {
    // Scene5_1 starts its lower left corner at (-0.6, 0.45) and its upper right at (-0.3, 0.75); Scene5
    // reaches those start points from pixel positions outside its picture.
    const std::string corners5 = ProbeOf(shader_text::Scene5, R"glsl(
    float i = floor(gl_FragCoord.x);
    vec2 start = i == 0.0 ? vec2(-0.6, 0.45) : (i == 1.0 ? vec2(-0.45, 0.6) : vec2(-0.3, 0.75));
    probeCoord = vec4((start / 0.7 - vec2(0.1, 1.5)) * resolution, 0.5, 1.0);
    gl_FragColor = fCol();)glsl");
    for (const Uniforms& u : {Uniforms{kSilentTime}, Uniforms{47.0, {0.0f, 0.0f, 0.3f}}}) {
        const std::vector<float> a = FractalAtCornersAndCentre(shader_text::Scene5_1, u);
        const std::vector<float> b = Draw(corners5, u, 3, 1);
        ASSERT_EQ(a.size(), 12u);
        ASSERT_EQ(b.size(), 12u);
        for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-3) << i;
    }
}

TEST(Scene5, FractalLayerIsBlackWhereTheSineIsNegativeAndTintedByTheLevels) {
    const std::string fractal =
        ProbeOf(shader_text::Scene5, "probeCoord = gl_FragCoord; gl_FragColor = fCol();");
    const std::string fractal1 =
        ProbeOf(shader_text::Scene5_1, "probeCoord = gl_FragCoord; gl_FragColor = fCol();");
    // The share of black pixels at silence: about three in five for Scene5, one in three for Scene5_1.
    for (auto [text, low, high] : {std::tuple{&fractal, 0.5, 0.75}, std::tuple{&fractal1, 0.25, 0.45}}) {
        const std::vector<float> f = Draw(*text, Uniforms{kSilentTime});
        ASSERT_EQ(f.size(), 4u * kW * kH);
        int black = 0;
        for (size_t i = 0; i < f.size(); i += 4) {
            ASSERT_TRUE(f[i] >= 0.0f && f[i] <= 1.0f) << "pixel " << i / 4 << ": " << f[i];
            black += f[i] == 0.0f;
        }
        EXPECT_GT(black, low * kW * kH);
        EXPECT_LT(black, high * kW * kH);
    }

    const std::vector<float> loud = Draw(fractal, Uniforms{kSilentTime, {3.0f, 3.0f, 3.0f}});
    ASSERT_EQ(loud.size(), 4u * kW * kH);
    int tinted = 0;
    for (size_t i = 0; i < loud.size(); i += 4) {
        ASSERT_TRUE(loud[i] >= 0.0f && loud[i] <= 1.0f);
        if (loud[i + 2] < 0.05f) continue;
        const float level = loud[i + 2] / 0.953125f;
        EXPECT_NEAR(loud[i], level * 0.8125f, 1e-5);
        EXPECT_NEAR(loud[i + 1], level * 0.90625f, 1e-5);
        ++tinted;
    }
    EXPECT_GT(tinted, 100);
}

TEST(Scene5, BothScenesDarkenTheFractalOnlyWhereTheNoiseIsPositive) {
    const std::string noise5 =
        ProbeOf(shader_text::Scene5, "probeCoord = gl_FragCoord; gl_FragColor = bCol();");
    const std::string noise51 =
        ProbeOf(shader_text::Scene5_1, "probeCoord = gl_FragCoord; gl_FragColor = bCol();");
    const std::vector<float> n = Draw(noise5, Uniforms{37.0});
    EXPECT_EQ(n, Draw(noise51, Uniforms{37.0})) << "one noise layer";

    const Uniforms cases[] = {{37.0}, {47.0, {1.5f, 1.0f, 0.7f}}};
    for (const char* scene : {shader_text::Scene5, shader_text::Scene5_1}) {
        const std::string fractal = ProbeOf(scene, "probeCoord = gl_FragCoord; gl_FragColor = fCol();");
        const std::string noise = ProbeOf(scene, "probeCoord = gl_FragCoord; gl_FragColor = bCol();");
        for (const Uniforms& u : cases) {
            const std::vector<float> out = Draw(scene, u);
            const std::vector<float> f = Draw(fractal, u);
            const std::vector<float> b = Draw(noise, u);
            ASSERT_EQ(out.size(), 4u * kW * kH);
            ASSERT_EQ(f.size(), out.size());
            ASSERT_EQ(b.size(), out.size());
            int kept = 0, darkened = 0;
            for (size_t i = 0; i < out.size(); i += 4) {
                ASSERT_EQ(out[i + 3], 0.0f) << "alpha, pixel " << i / 4;
                for (int c = 0; c < 3; ++c) {
                    const float fc = std::clamp(f[i + c], 0.0f, 1.0f);
                    if (b[i] <= 0.0f) {
                        ASSERT_EQ(out[i + c], fc) << "pixel " << i / 4;
                    } else {
                        ASSERT_LE(out[i + c], fc) << "pixel " << i / 4;
                    }
                }
                kept += b[i] <= 0.0f && f[i] > 0.1f;
                darkened += b[i] > 0.1f && f[i] > 0.1f && out[i] < f[i] - 0.01f;
            }
            EXPECT_GT(kept, 0);
            EXPECT_GT(darkened, 0);
        }
    }
}

}  // namespace
