// Scene2: the particle field over the blue gradient, drawn through the scene's text and through both of the
// scene's paths.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "effects/scene2_reference.h"
#include "gl/render.h"
#include "scenes/scene2_particles.h"
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

// The scene's text over a float framebuffer, or (with the parameter true) the scene's particle path there.
class Scene2 : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(canvas_.Ready());
        program_ = canvas_.Build(shader_text::Scene2);
        particles_.Init();
        ASSERT_EQ(particles_.DrawingPath(), Scene2Path::Particles);
    }
    std::vector<float> Draw(const Uniforms& u) {
        if (!GetParam()) return canvas_.DrawFloat(program_, u);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        particles_.width = kW;
        particles_.height = kH;
        particles_.Render(u.time, u.val.data());
        std::vector<float> pixels(4u * kW * kH);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_FLOAT, pixels.data());
        return pixels;
    }
    // The background of row y, from black at the bottom to the gradient's top colour.
    static double Gradient(int c, int y) { return kGradientTop[c] * (y + 0.5) / kH; }

    ShaderCanvas canvas_{kW, kH};
    uint32_t program_ = 0;
    ::Scene2 particles_{Scene2Path::Particles};
};
INSTANTIATE_TEST_SUITE_P(TextAndParticlePath, Scene2, ::testing::Bool());

TEST_P(Scene2, WithoutMusicEveryFrameIsTheSameOpaqueImage) {
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
TEST_P(Scene2, AViewLineThatMissesEveryParticleShowsTheDimmedGradient) {
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

TEST_P(Scene2, UnderColourRuleTwoSilentParticlesOnlyCutDarkDiscs) {
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

// Both ways of drawing Scene2 against the text it was first written as, over every look the show gives it.
class Scene2Paths : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        gl_ = HeadlessGL::Create(kW, kH, HeadlessGL::Format::RGBA8, error);
        ASSERT_NE(gl_, nullptr) << error;
        testing::internal::CaptureStderr();
        reference_ = buildProgram("reference", kScene2Reference);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    std::vector<uint8_t> Draw(SceneBase& scene, const Uniforms& u) {
        scene.width = static_cast<float>(gl_->Width());
        scene.height = static_cast<float>(gl_->Height());
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        scene.Render(u.time, u.val.data());
        return gl_->ReadRGBA8();
    }
    std::vector<uint8_t> DrawReference(const Uniforms& u) {
        glClear(GL_COLOR_BUFFER_BIT);
        RenderProgram(reference_, static_cast<float>(gl_->Width()), static_cast<float>(gl_->Height()), u.time,
                      u.val.data());
        return gl_->ReadRGBA8();
    }

    std::unique_ptr<HeadlessGL> gl_;
    uint32_t reference_ = 0;
};

// Pixels of which some channel differs by more than 2/255.
int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int differing = 0;
    for (size_t i = 0; i < a.size(); i += 4) {
        bool differs = a[i + 3] != b[i + 3];
        for (int c = 0; c < 3; ++c) differs |= std::abs(a[i + c] - b[i + c]) > 2;
        differing += differs;
    }
    return differing;
}

TEST_F(Scene2Paths, EachPathChosenOrForcedDrawsTheReferencePictureInEverySlotOfTheShow) {
    ::Scene2 chosen, shader(Scene2Path::Shader), particles(Scene2Path::Particles);
    for (::Scene2* scene : {&chosen, &shader, &particles}) scene->Init();
    // This context renders into float targets and blends them.
    EXPECT_EQ(chosen.DrawingPath(), Scene2Path::Particles);
    EXPECT_EQ(shader.DrawingPath(), Scene2Path::Shader);
    ASSERT_EQ(particles.DrawingPath(), Scene2Path::Particles);

    const float switchTime = kBar * 7.8f;  // position rule 3 from here on
    const std::array<float, 3> silent = {0.0f, 0.0f, 0.0f}, loud = {1.7f, 1.2f, 0.6f},
                               other = {0.9f, 2.1f, 1.4f};
    const Uniforms moments[] = {
        {0.0, silent},
        {2.5, loud},
        {17.5, silent},
        {17.5, other},  // position rules 1 and 2
        {std::nextafter(switchTime, 0.0f), loud},
        {switchTime, loud},  // the switch seen on screen
        {28.0, silent},
        {28.0, other},
        {34.5, loud},  // colour rule 1 to its end
        {42.0, silent},
        {42.0, loud},
        {58.0, other},
        {96.0, loud},
        {112.0, other},
        {134.5, loud},
    };
    // The same scenes follow each resize.
    for (auto [w, h] : {std::pair{kW, kH}, std::pair{80, 45}, std::pair{77, 43}}) {
        ASSERT_TRUE(gl_->Resize(w, h));
        for (const Uniforms& u : moments) {
            const std::vector<uint8_t> expected = DrawReference(u);
            for (::Scene2* scene : {&shader, &particles}) {
                const int differing = Differing(Draw(*scene, u), expected);
                EXPECT_LE(differing, w * h / 1000)
                    << w << "x" << h << " at " << u.time << " s, levels " << u.val[0] << ", " << u.val[1]
                    << ", " << u.val[2] << (scene == &shader ? ", shader path" : ", particle path");
            }
        }
    }
}

// Whatever the show or another scene has set stays set: bindings, blending, clear colour, viewport, texture
// units.
TEST_F(Scene2Paths, TheParticlePathLeavesTheStateItUsesAsItFoundIt) {
    ::Scene2 scene(Scene2Path::Particles);
    scene.Init();
    ASSERT_EQ(scene.DrawingPath(), Scene2Path::Particles);
    GLuint buffer = 0, textures[2] = {0, 0};
    gl::GenBuffers(1, &buffer);
    gl::BindBuffer(GL_ARRAY_BUFFER, buffer);
    glGenTextures(2, textures);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    gl::ActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    gl::UseProgram(reference_);
    glEnable(GL_BLEND);
    gl::BlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_DST_ALPHA);
    gl::BlendEquationSeparate(GL_FUNC_REVERSE_SUBTRACT, GL_MAX);
    glViewport(0, 0, kW, kH);
    GLint framebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);

    const auto integer = [](GLenum name) {
        GLint value = -1;
        glGetIntegerv(name, &value);
        return value;
    };
    const auto expectUnchanged = [&] {
        EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(reference_));
        EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING), static_cast<GLint>(buffer));
        EXPECT_EQ(integer(GL_VERTEX_ARRAY_BINDING), 0);
        EXPECT_EQ(integer(GL_DRAW_FRAMEBUFFER_BINDING), framebuffer);
        EXPECT_EQ(integer(GL_READ_FRAMEBUFFER_BINDING), framebuffer);
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
        EXPECT_EQ(integer(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_EQ(integer(GL_BLEND_SRC_ALPHA), GL_ONE);
        EXPECT_EQ(integer(GL_BLEND_DST_ALPHA), GL_DST_ALPHA);
        EXPECT_EQ(integer(GL_BLEND_EQUATION_RGB), GL_FUNC_REVERSE_SUBTRACT);
        EXPECT_EQ(integer(GL_BLEND_EQUATION_ALPHA), GL_MAX);
        EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE3);
        EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(textures[1]));
        gl::ActiveTexture(GL_TEXTURE0);
        EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(textures[0]));
        gl::ActiveTexture(GL_TEXTURE3);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], kW);
        EXPECT_EQ(viewport[3], kH);
        GLfloat clear[4] = {};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(clear[0], 0.25f);
        EXPECT_EQ(clear[3], 0.75f);
    };
    glClearColor(0.25f, 0.5f, 0.5f, 0.75f);
    scene.width = kW;
    scene.height = kH;
    const float val[3] = {1.0f, 1.0f, 1.0f};
    scene.Render(42.0, val);
    expectUnchanged();
    // A new size reallocates the float target, within the same care.
    scene.width = kW / 2;
    scene.Render(42.0, val);
    expectUnchanged();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
