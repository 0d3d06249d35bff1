// Scene2: the particle field over the blue gradient, drawn through the scene's text.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "gl/render.h"
#include "shaders/shader_texts.h"

namespace {

constexpr int kW = 160, kH = 90;
constexpr float kBar = 2.6666667f;
const float kGradientTop[3] = {0.1f, 0.15f, 0.2f};

// What is left of the background after 225 particles that each let 99.5 % of it through.
const double kDimmed = std::pow(0.995, 225);
// The sum of a tint added at every pass and dimmed by the passes after it.
double DimmedSum() {
    double sum = 0.0;
    for (int k = 0; k < 225; ++k) sum += std::pow(0.995, k);
    return sum;
}

class Scene2 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(canvas_.Ready());
        program_ = canvas_.Build(shader_text::Scene2);
    }
    std::vector<float> Draw(const Uniforms& u) { return canvas_.DrawFloat(program_, u); }
    // The background of row y, from black at the bottom to the gradient's top colour.
    static double Gradient(int c, int y) { return kGradientTop[c] * (y + 0.5) / kH; }

    ShaderCanvas canvas_{kW, kH};
    uint32_t program_ = 0;
};

TEST_F(Scene2, WithoutMusicEveryFrameIsTheSameOpaqueImage) {
    for (double time : {0.0, -3.5}) {  // no audio device; a device but no track
        const std::vector<float> first = Draw(Uniforms{time});
        ASSERT_EQ(first.size(), 4u * kW * kH);
        for (size_t i = 0; i < first.size(); i += 4) {
            ASSERT_TRUE(std::isfinite(first[i]) && std::isfinite(first[i + 1]) &&
                        std::isfinite(first[i + 2]));
            ASSERT_EQ(first[i + 3], 1.0f);
        }
        EXPECT_EQ(Draw(Uniforms{time}), first) << time;
    }
}

// With the second level at 0 every particle lies in the plane y = 0, well below the camera: the top row looks
// over the whole field and sees the background, dimmed by every pass, plus under colour rule 2 the tint of
// every pass. Colour rule 2 begins exactly at 13 bars.
TEST_F(Scene2, AViewLineThatMissesEveryParticleShowsTheDimmedGradient) {
    const float thirteenBars = kBar * 13.0f;
    const std::array<float, 3> val = {0.8f, 0.0f, 1.3f};
    const float tint[3] = {std::sin(val[2]), std::sin(val[1]), std::sin(val[0])};
    struct Case {
        double time;
        bool tinted;
    };
    for (Case c : {Case{25.0, false}, Case{std::nextafter(thirteenBars, 0.0f), false},
                   Case{thirteenBars, true}, Case{60.0, true}}) {
        const std::vector<float> px = Draw(Uniforms{c.time, val});
        ASSERT_EQ(px.size(), 4u * kW * kH);
        const int y = kH - 1;
        for (int x = 0; x < kW; ++x) {
            for (int ch = 0; ch < 3; ++ch) {
                double expected = Gradient(ch, y) * kDimmed;
                if (c.tinted) expected += tint[ch] * 5.0 * static_cast<float>(c.time) / 1e6 * DimmedSum();
                ASSERT_NEAR(px[4 * (y * kW + x) + ch], expected, 1e-5 + 1e-4 * expected)
                    << "time " << c.time << " x " << x << " channel " << ch;
            }
        }
    }
}

TEST_F(Scene2, UnderColourRuleTwoSilentParticlesOnlyCutDarkDiscs) {
    const std::vector<float> px = Draw(Uniforms{42.0});
    ASSERT_EQ(px.size(), 4u * kW * kH);
    int discs = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const float* p = &px[4 * (y * kW + x)];
            // Each channel is its gradient times the same share that the particles let through.
            const double share = p[0] / Gradient(0, y);
            ASSERT_GE(share, 0.0) << x << "," << y;
            ASSERT_LE(share, kDimmed * 1.0001) << x << "," << y;
            ASSERT_NEAR(p[1], Gradient(1, y) * share, 1e-6) << x << "," << y;
            ASSERT_NEAR(p[2], Gradient(2, y) * share, 1e-6) << x << "," << y;
            discs += share < kDimmed * 0.5;
        }
    }
    EXPECT_GT(discs, kW * kH / 20) << "the particles show as dark discs";

    // The same field under colour rule 1 is lit: its particles add grey.
    const std::vector<float> lit = Draw(Uniforms{34.0});
    int brighter = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) brighter += lit[4 * (y * kW + x)] > Gradient(0, y) * kDimmed * 1.01;
    }
    EXPECT_GT(brighter, 0);
}

}  // namespace
