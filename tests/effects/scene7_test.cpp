// Scene7: the flight through the folded beams, drawn through the scene's text.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

constexpr int kW = 160, kH = 90;
constexpr float kBar = 2.6666667f;

class Scene7 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(canvas_.Ready());
        program_ = canvas_.Build(shader_text::Scene7);
    }
    std::vector<float> Draw(const Uniforms& u) { return canvas_.DrawFloat(program_, u); }
    // The music time at which the camera's depth, time^1.5 / sqrt(10), is z.
    static double TimeAtDepth(double z) { return std::cbrt(z * z * 10.0); }

    // The share of pixels whose grey differs by more than 0.02 between two pictures.
    static double ShareDiffering(const std::vector<float>& a, const std::vector<float>& b) {
        int differing = 0;
        for (size_t i = 0; i < a.size(); i += 4) differing += std::fabs(a[i] - b[i]) > 0.02f;
        return differing / static_cast<double>(kW * kH);
    }

    ShaderCanvas canvas_{kW, kH};
    uint32_t program_ = 0;
};

TEST_F(Scene7, EveryPixelIsOpaqueGrey) {
    for (const Uniforms& u : {Uniforms{0.0}, Uniforms{8.0}, Uniforms{52.0, {1.5f, 1.0f, 0.7f}},
                              Uniforms{146.0, {3.0f, 0.2f, 2.0f}}}) {
        const std::vector<float> px = Draw(u);
        ASSERT_EQ(px.size(), 4u * kW * kH);
        float lightest = 0.0f;
        for (size_t i = 0; i < px.size(); i += 4) {
            ASSERT_TRUE(std::isfinite(px[i]) && px[i] >= 0.0f) << "time " << u.time << " pixel " << i / 4;
            ASSERT_EQ(px[i + 1], px[i]);
            ASSERT_EQ(px[i + 2], px[i]);
            ASSERT_EQ(px[i + 3], 1.0f);
            lightest = std::max(lightest, px[i]);
        }
        EXPECT_GT(lightest, 0.1f) << "not all black at time " << u.time;
    }
}

// The beam field read through a probe that renames the scene's entry: pixel i holds field(points[i]).
std::vector<float> FieldAt(const std::vector<std::array<double, 3>>& points,
                           const std::array<float, 3>& val) {
    std::string text =
        "#define main scene_main\n" + std::string(shader_text::Scene7) +
        "\n#undef main\nvoid main(void) {\n    float i = floor(gl_FragCoord.x);\n    vec3 p;\n";
    for (size_t i = 0; i < points.size(); ++i) {
        text += "    if (i == " + std::to_string(i) + ".0) p = vec3(" + std::to_string(points[i][0]) + ", " +
                std::to_string(points[i][1]) + ", " + std::to_string(points[i][2]) + ");\n";
    }
    text += "    gl_FragColor = vec4(field(p), 0.0);\n}\n";
    ShaderCanvas canvas(static_cast<int>(points.size()), 1);
    if (!canvas.Ready()) return {};
    return canvas.DrawFloat(canvas.Build(text.c_str()), Uniforms{0.0, val});
}

// The distances of a point's coordinates from the nearest value 0.5 modulo 1.
std::array<double, 3> BeamDistances(const std::array<double, 3>& p) {
    std::array<double, 3> d;
    for (int k = 0; k < 3; ++k) d[k] = std::fabs(p[k] - std::floor(p[k]) - 0.5);
    return d;
}

// At silence, with a, b, c the beam distances, the three components are sqrt(a^2 + b^2 c^2), sqrt(b^2 + c^4)
// and sqrt(c^2 + a^2 b^2), each less 0.015. Each level raises all three, except that the second level leaves
// a zero distance at zero.
TEST(Scene7Field, AtSilenceItMeasuresThreeFamiliesOfBeamsAndEveryLevelThinsThem) {
    const std::vector<std::array<double, 3>> points = {
        {0.5, 0.5, 0.5}, {0.1, 0.7, 0.35}, {-2.3, 4.95, 17.8}, {3.5, -0.5, 0.2}, {0.93, 0.04, 0.61}};
    const std::vector<float> silent = FieldAt(points, {0.0f, 0.0f, 0.0f});
    ASSERT_EQ(silent.size(), 4 * points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const auto [a, b, c] = BeamDistances(points[i]);
        EXPECT_NEAR(silent[4 * i], std::sqrt(a * a + b * b * c * c) - 0.015, 1e-5) << i;
        EXPECT_NEAR(silent[4 * i + 1], std::sqrt(b * b + c * c * c * c) - 0.015, 1e-5) << i;
        EXPECT_NEAR(silent[4 * i + 2], std::sqrt(c * c + a * a * b * b) - 0.015, 1e-5) << i;
    }
    for (int level = 0; level < 3; ++level) {
        std::array<float, 3> val = {0.0f, 0.0f, 0.0f};
        val[level] = 0.5f;
        const std::vector<float> loud = FieldAt(points, val);
        ASSERT_EQ(loud.size(), silent.size());
        for (size_t i = 0; i < points.size(); ++i) {
            const auto [a, b, c] = BeamDistances(points[i]);
            const bool onAnAxis = a == 0.0 || b == 0.0 || c == 0.0;
            for (int k = 0; k < 3; ++k) {
                if (level == 1 && onAnAxis) {
                    EXPECT_GE(loud[4 * i + k], silent[4 * i + k]) << "point " << i << " level " << level;
                } else {
                    EXPECT_GT(loud[4 * i + k], silent[4 * i + k]) << "point " << i << " level " << level;
                }
            }
        }
    }
}

// Space repeats every unit along the flight line, so a camera at the origin sees what a camera one cell ahead
// sees, and not what one half a cell ahead sees. On the flight line the picture is mirror-symmetric.
TEST_F(Scene7, AtTimeZeroTheCameraStandsAtTheOrigin) {
    const std::vector<float> origin = Draw(Uniforms{0.0});
    ASSERT_EQ(origin.size(), 4u * kW * kH);
    EXPECT_LT(ShareDiffering(origin, Draw(Uniforms{TimeAtDepth(1.0)})), 0.01);
    EXPECT_GT(ShareDiffering(origin, Draw(Uniforms{TimeAtDepth(0.5)})), 0.2);

    int asymmetric = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const float here = origin[4 * (y * kW + x)];
            asymmetric += std::fabs(here - origin[4 * (y * kW + kW - 1 - x)]) > 0.02f;
            asymmetric += std::fabs(here - origin[4 * ((kH - 1 - y) * kW + x)]) > 0.02f;
        }
    }
    EXPECT_LT(asymmetric, kW * kH / 50);
}

// From 8 bars on the sum of the levels pulls the camera back along the flight line: with a sum of one cell
// the picture is the one of a camera one cell ahead, that is of the same camera with no pull.
TEST_F(Scene7, FromEightBarsTheLevelsPullTheCameraBackByTheirSum) {
    const float eightBars = kBar * 8.0f;
    const std::array<float, 3> oneCell = {0.5f, 0.25f, 0.25f};
    const std::array<float, 3> halfCell = {0.25f, 0.125f, 0.125f};
    const std::vector<float> before = Draw(Uniforms{std::nextafter(eightBars, 0.0f), oneCell});
    const std::vector<float> at = Draw(Uniforms{eightBars, oneCell});
    ASSERT_EQ(before.size(), 4u * kW * kH);
    EXPECT_LT(ShareDiffering(before, at), 0.01);
    // A pull of half a cell, by levels that thin the beams less, still moves the view.
    const std::vector<float> halfBefore = Draw(Uniforms{std::nextafter(eightBars, 0.0f), halfCell});
    const std::vector<float> halfAt = Draw(Uniforms{eightBars, halfCell});
    EXPECT_GT(ShareDiffering(halfBefore, halfAt), 0.2);
}

}  // namespace
