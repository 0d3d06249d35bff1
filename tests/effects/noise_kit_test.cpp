// The simplex noise kit, read back through probes: the kit's own text followed by a small main() that writes
// the values under test into a float framebuffer.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

using Value = std::array<float, 4>;

// Pixel i of a one-row canvas runs the GLSL statements cases[i], which set the vec4 `v`; returns each v.
std::vector<Value> Probe(const std::vector<std::string>& cases, double time = 0.0) {
    std::string text = std::string(shader_text::NoiseKit) +
                       "\nvoid main(void) {\n    float i = floor(gl_FragCoord.x);\n    vec4 v = vec4(0.0);\n";
    for (size_t i = 0; i < cases.size(); ++i) {
        text += (i == 0 ? "    if" : "    else if") + std::string(" (i == ") + std::to_string(i) + ".0) { " +
                cases[i] + " }\n";
    }
    text += "    gl_FragColor = v;\n}\n";
    ShaderCanvas canvas(static_cast<int>(cases.size()), 1);
    if (!canvas.Ready()) return {};
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(text.c_str()), Uniforms{time});
    std::vector<Value> values(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        for (int c = 0; c < 4; ++c) values[i][c] = px[4 * i + c];
    }
    return values;
}

std::string Vec2(double x, double y) {
    return "vec2(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

TEST(NoiseKit, PermuteHashesWholeNumbersInto0To288) {
    const std::vector<Value> v = Probe({"v = vec4(permute(0.0), permute(1.0), permute(2.0), permute(10.0));",
                                        "v = vec4(permute(288.0), permute(289.0), permute(577.0), 0.0);"});
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0], (Value{0.0f, 35.0f, 138.0f, 231.0f}));
    EXPECT_EQ(v[1][0], 33.0f);
    EXPECT_EQ(v[1][1], 0.0f);
    // The largest argument the gradients hash is still exact in single precision.
    EXPECT_EQ(v[1][2], std::fmod((34.0 * 577.0 + 1.0) * 577.0, 289.0));
}

TEST(NoiseKit, Grad2TurnsAQuarterOfTheDiamondPerQuarterRot) {
    const float rots[] = {0.0f, 0.25f, 0.5f, 0.75f};
    const Value expected[] = {{1, 0, 1, 0}, {0, 1, 0, 1}, {-1, 0, -1, 0}, {0, -1, 0, -1}};
    std::vector<std::string> cases;
    for (float rot : rots) {
        // The second pair adds a whole number to rot: a full circuit, so the same gradient.
        cases.push_back("v = vec4(grad2(vec2(0.0), " + std::to_string(rot) + "), grad2(vec2(0.0), " +
                        std::to_string(rot + 3.0f) + "));");
    }
    cases.push_back("v = vec4(grad2(vec2(17.0, 250.0), 0.3), grad2(vec2(17.0, 250.0), 2.3));");
    const std::vector<Value> v = Probe(cases);
    ASSERT_EQ(v.size(), cases.size());
    for (size_t i = 0; i < 4; ++i) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(v[i][c], expected[i][c], 1e-6) << "rot " << rots[i];
    }
    const Value& other = v[4];
    EXPECT_NEAR(std::fabs(other[0]) + std::fabs(other[1]), 1.0, 1e-5) << "on the diamond";
    EXPECT_NEAR(other[2], other[0], 1e-5);
    EXPECT_NEAR(other[3], other[1], 1e-5);
}

struct NoisePoint {
    double x, y, rot;
    double value, gradX, gradY;
};

TEST(NoiseKit, SrdnoiseMatchesItsReferenceValuesAndGradients) {
    const NoisePoint points[] = {
        {0.0, 0.0, 0.0, 0.0, 2.5, 0.0},  // a grid corner: only its own gradient counts, 40 * 0.5^4 times
        {0.3, 0.7, 0.0, 0.068, -0.031, 0.784},
        {1.5, -2.25, 0.1, 0.287, -0.302, -0.358},
        {-3.7, 5.2, 0.6, 0.128, -1.730, 0.362},
    };
    std::vector<std::string> cases;
    for (const NoisePoint& p : points) {
        cases.push_back("vec2 g; float n = srdnoise(" + Vec2(p.x, p.y) + ", " + std::to_string(p.rot) +
                        ", g); v = vec4(n, g, 0.0);");
    }
    const std::vector<Value> v = Probe(cases);
    ASSERT_EQ(v.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_NEAR(v[i][0], points[i].value, 6e-4) << i;
        EXPECT_NEAR(v[i][1], points[i].gradX, 6e-4) << i;
        EXPECT_NEAR(v[i][2], points[i].gradY, 6e-4) << i;
    }
}

TEST(NoiseKit, SrdnoiseGradientIsTheSlopeOfItsValue) {
    const double h = 1e-3;
    const std::array<double, 3> points[] = {{0.3, 0.7, 0.0},      {1.5, -2.25, 0.1},   {-3.7, 5.2, 0.6},
                                            {12.34, -7.89, 0.37}, {-0.81, -0.27, 0.9}, {-150.2, 55.55, 0.5}};
    std::vector<std::string> cases;
    for (const auto& [x, y, rot] : points) {
        const std::string r = std::to_string(rot);
        cases.push_back("vec2 g; v = vec4(srdnoise(" + Vec2(x + h, y) + ", " + r + ", g), srdnoise(" +
                        Vec2(x - h, y) + ", " + r + ", g), srdnoise(" + Vec2(x, y + h) + ", " + r +
                        ", g), srdnoise(" + Vec2(x, y - h) + ", " + r + ", g));");
        cases.push_back("vec2 g; srdnoise(" + Vec2(x, y) + ", " + r + ", g); v = vec4(g, 0.0, 0.0);");
    }
    const std::vector<Value> v = Probe(cases);
    ASSERT_EQ(v.size(), cases.size());
    for (size_t i = 0; i < cases.size(); i += 2) {
        const Value& n = v[i];
        EXPECT_NEAR(v[i + 1][0], (n[0] - n[1]) / (2.0 * h), 2e-3) << "point " << i / 2;
        EXPECT_NEAR(v[i + 1][1], (n[2] - n[3]) / (2.0 * h), 2e-3) << "point " << i / 2;
    }
}

TEST(NoiseKit, LensMaskIsASoftStepAtItsRadius) {
    std::vector<std::string> cases = {"v = vec4(sigmoid(0.0), sigmoid(40.0), sigmoid(-40.0), 0.0);"};
    const double distances[] = {0.0, 0.10, 0.15, 0.20, 0.25};
    const double expected[] = {0.999, 0.90, 0.5, 0.10, 0.012};
    for (double d : distances) {
        // The same distance in three directions: the mask is round.
        cases.push_back("v = vec4(smoothcircle(" + Vec2(0.5 + d, 0.5) + ", 0.15, 64.0), smoothcircle(" +
                        Vec2(0.5, 0.5 - d) + ", 0.15, 64.0), smoothcircle(" +
                        Vec2(0.5 - d * 0.6, 0.5 + d * 0.8) + ", 0.15, 64.0), 0.0);");
    }
    const std::vector<Value> v = Probe(cases);
    ASSERT_EQ(v.size(), cases.size());
    EXPECT_EQ(v[0][0], 0.0f);
    EXPECT_NEAR(v[0][1], 1.0, 1e-6);
    EXPECT_NEAR(v[0][2], -1.0, 1e-6);
    for (size_t i = 0; i < std::size(distances); ++i) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(v[i + 1][c], expected[i], 0.005) << "distance " << distances[i] << " direction " << c;
        }
    }
}

TEST(NoiseKit, MouseFollowsTimeAndTheLayerStaysFiniteOnceMusicPlays) {
    const std::vector<Value> atZero = Probe({"v = vec4(mouse, 0.0, 0.0);"}, 0.0);
    ASSERT_EQ(atZero.size(), 1u);
    EXPECT_EQ(atZero[0][0], 0.0f);
    EXPECT_EQ(atZero[0][1], 0.0f);
    const std::vector<Value> before = Probe({"v = vec4(mouse, 0.0, 0.0);"}, -7.0);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_NEAR(before[0][0], std::sin(-7.0 / 13.0), 1e-5);
    EXPECT_NEAR(before[0][1], std::acos(0.0), 1e-5);
    for (double time : {0.001, 37.0, 47.0, 206.8}) {
        const std::vector<Value> m = Probe({"v = vec4(mouse, 0.0, 0.0);"}, time);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_NEAR(m[0][0], std::sin(time / 13.0), 1e-4) << time;
        EXPECT_EQ(m[0][1], 0.0f) << time;
    }

    // The layer over a whole picture: defined everywhere and, as three octaves allow, short of +-1.
    const std::string layer = std::string(shader_text::NoiseKit) +
                              "\nvoid main(void) { gl_FragColor = vec4(noiseLayer(vec2(0.0, 0.0))); }\n";
    ShaderCanvas canvas(160, 90);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(layer.c_str());
    for (double time : {0.0, 37.0, 47.0, 150.0}) {
        const std::vector<float> px = canvas.DrawFloat(program, Uniforms{time});
        float lowest = 0.0f, highest = 0.0f;
        for (float n : px) {
            ASSERT_TRUE(std::isfinite(n)) << time;
            lowest = std::min(lowest, n);
            highest = std::max(highest, n);
        }
        EXPECT_GT(lowest, -0.95f) << time;
        EXPECT_LT(highest, 0.95f) << time;
        EXPECT_GT(highest - lowest, 0.3f) << "a cloud, not a flat grey, at " << time;
    }
}

// A 16 by 9 picture has the aspect of 1280 by 720, and so the same turn and shift of the noise plane. At time
// 0 every octave uses rot 0 and, away from the lens disc in the lower left corner, the plane is only scaled
// by 2 before the turn: the layer must then equal the three octaves taken at the turned and shifted point.
TEST(NoiseKit, AtTimeZeroA720pPictureIsTurnedAndShiftedTowardsTheLowerLeftCorner) {
    const std::string probe = std::string(shader_text::NoiseKit) + R"glsl(
void main(void) {
    const vec2 mousePolar720p = vec2(-0.4903, -0.8716);
    const vec2 offset720p = vec2(0.7626, -2.7237);
    vec2 uv = vec2(gl_FragCoord.x / resolution.x, 0.5 + (gl_FragCoord.y - 0.5 * resolution.y) / resolution.x);
    vec2 p = complex_mul((uv - 0.5) * 2.0, mousePolar720p) + offset720p;
    vec2 g1;
    vec2 g2;
    vec2 g3;
    float n1 = srdnoise(0.5 * p, 0.0, g1);
    float n2 = srdnoise(2.0 * p + 0.5 * g1, 0.0, g2);
    float n3 = srdnoise(4.0 * p + 0.5 * g1 + 0.25 * g2, 0.0, g3);
    gl_FragColor = vec4(noiseLayer(vec2(0.0, 0.0)), n1 + 0.9 * n2 + 0.5 * n3, length(uv), 0.0);
}
)glsl";
    ShaderCanvas canvas(16, 9);
    ASSERT_TRUE(canvas.Ready());
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(probe.c_str()), Uniforms{0.0});
    int compared = 0;
    for (size_t i = 0; i < px.size(); i += 4) {
        if (px[i + 2] < 0.45f) continue;  // within reach of the lens disc around the lower left corner
        EXPECT_NEAR(px[i], px[i + 1], 5e-3) << "pixel " << i / 4;
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

}  // namespace
