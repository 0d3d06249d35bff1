// Scene3: the ray-marched city, drawn through the real shader text and probes built from it. The march is
// heavy on a software rasteriser, so the canvases are small.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Scene3 with its entry replaced by `body`.
std::string WithEntry(const std::string& body) {
    return Replaced(shader_text::Scene3, "void main(", "void scene_main(") + "\nvoid main() {\n" + body +
           "\n}\n";
}

// Seen from height 20, the distance to the towers is 20 less the height of a top wherever that top is the
// nearest surface. The probe looks down on a 400 x 400 stretch of the city, 2 units a pixel. It places the
// camera first, as the entry does, so that the running random value has had the camera's call and the towers
// stand where the first step of the march sees them.
TEST(Scene3, WithoutTheFirstLevelTheTowerTopsStandAt12_4_14_4And15_4) {
    ShaderCanvas canvas(200, 200);
    ASSERT_TRUE(canvas.Ready());
    const std::string text = WithEntry(
        "    vec3 cameraPosition, rayDirection;\n"
        "    FishEyeCamera(vec2(0.0), 1.0, fovyCoefficient, cameraPosition, rayDirection);\n"
        "    vec2 xz = gl_FragCoord.xy / resolution * 400.0;\n"
        "    gl_FragColor = vec4(BuildingsDistance(vec3(xz.x, 20.0, xz.y)), 0.0, 0.0, 1.0);");
    const uint32_t probe = canvas.Build(text.c_str());
    const float tops[3] = {12.4f, 14.4f, 15.4f};
    for (const std::array<float, 3> val : {std::array<float, 3>{0.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 1.0f}}) {
        const std::vector<float> px = canvas.DrawFloat(probe, {30.0, val});
        int onTop[3] = {0, 0, 0};
        for (size_t i = 0; i < px.size(); i += 4) {
            ASSERT_GE(px[i], 20.0f - tops[2] - 1e-4f);
            for (int grid = 0; grid < 3; ++grid)
                onTop[grid] += std::fabs(px[i] - (20.0f - tops[grid])) < 1e-4f;
        }
        for (int grid = 0; grid < 3; ++grid)
            EXPECT_GT(onTop[grid], 50) << "grid " << grid << ", val.y " << val[1];
    }
    // Both levels loud: the running random value lifts the towers elsewhere.
    const std::vector<float> loud = canvas.DrawFloat(probe, {30.0, {1.5f, 1.0f, 0.0f}});
    float lowest = loud[0];
    for (size_t i = 0; i < loud.size(); i += 4) lowest = std::fmin(lowest, loud[i]);
    EXPECT_GT(std::fabs(lowest - (20.0f - tops[2])), 1e-3f);
}

TEST(Scene3, ARisingRayShowsTheSkyGradient) {
    const int width = 16, height = 9;
    ShaderCanvas canvas(width, height);
    ASSERT_TRUE(canvas.Ready());
    const uint32_t program = canvas.Build(shader_text::Scene3);
    for (const Uniforms& u : {Uniforms{5.0, {0.0f, 0.0f, 0.0f}}, Uniforms{40.0, {1.5f, 1.0f, 0.7f}}}) {
        const std::vector<float> px = canvas.DrawFloat(program, u);
        // Rows above 70% of the height look above the horizon; each pixel spans pi / width of elevation.
        for (int y = 7; y < height; ++y) {
            const double elevation = ((y + 0.5) / height - 0.7) * kPi * height / width;
            const double v = std::sin(elevation);
            for (int x = 0; x < width; ++x) {
                const float* p = &px[(y * width + x) * 4];
                EXPECT_NEAR(p[0], 0.5 - 0.2 * v, 1e-5) << x << ", " << y;
                EXPECT_NEAR(p[1], 0.3 * v, 1e-5) << x << ", " << y;
                EXPECT_NEAR(p[2], 0.7 * v, 1e-5) << x << ", " << y;
                EXPECT_EQ(p[3], 1.0f);
            }
        }
    }
}

TEST(Scene3, From666_7AwayTheFogIsTheSkyColourExactly) {
    ShaderCanvas canvas(48, 27);
    ASSERT_TRUE(canvas.Ready());
    const std::string text = Replaced(shader_text::Scene3, "gl_FragColor = vec4(hitColor, 1.0);",
                                      "gl_FragColor = vec4(hitColor, length(cameraPosition - hitPoint));");
    const std::vector<float> px = canvas.DrawFloat(canvas.Build(text.c_str()), {5.0, {}});
    int far = 0, near = 0;
    for (size_t i = 0; i < px.size(); i += 4) {
        const bool sky = px[i] == 0.5f && px[i + 1] == 0.0f && px[i + 2] == 0.0f;
        if (px[i + 3] >= 666.7f) {
            ++far;
            EXPECT_TRUE(sky) << px[i] << " " << px[i + 1] << " " << px[i + 2] << " at " << px[i + 3];
        } else if (px[i + 3] > 10.0f && px[i + 3] < 600.0f) {
            ++near;
            EXPECT_FALSE(sky) << "at " << px[i + 3];
        }
    }
    EXPECT_GT(far, 10);
    EXPECT_GT(near, 10);
}

TEST(Scene3, APointInsideATowerTakesTheNormalUp) {
    // (8.5, 5, 14) is the middle of a first-grid tower; 0.005 outside its +x face the normal is +x.
    ShaderCanvas canvas(1, 1);
    ASSERT_TRUE(canvas.Ready());
    const std::string inside =
        WithEntry("    gl_FragColor = vec4(ComputeNormal(vec3(8.5, 5.0, 14.0)), 1.0);");
    const std::string outside =
        WithEntry("    gl_FragColor = vec4(ComputeNormal(vec3(11.505, 5.0, 14.0)), 1.0);");
    const std::vector<float> up = canvas.DrawFloat(canvas.Build(inside.c_str()), {5.0, {}});
    EXPECT_EQ(up[0], 0.0f);
    EXPECT_EQ(up[1], 1.0f);
    EXPECT_EQ(up[2], 0.0f);
    const std::vector<float> side = canvas.DrawFloat(canvas.Build(outside.c_str()), {5.0, {}});
    EXPECT_NEAR(side[0], 1.0f, 1e-4);
    EXPECT_NEAR(side[1], 0.0f, 1e-4);
    EXPECT_NEAR(side[2], 0.0f, 1e-4);
}

}  // namespace
