#include "scenes/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "platform/egl/headless_gl.h"
#include "platform/gl.h"

namespace {

class Scenes : public ::testing::Test {
protected:
    void Open(int width, int height, HeadlessGL::Format format) {
        std::string error;
        gl_.reset();
        gl_ = HeadlessGL::Create(width, height, format, error);
        ASSERT_NE(gl_, nullptr) << error;
    }
    template <class Scene>
    void Draw(double time, const float* val) {
        Scene scene;
        scene.Init();
        scene.width = static_cast<float>(gl_->Width());
        scene.height = static_cast<float>(gl_->Height());
        glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        scene.Render(time, val);
    }
    std::unique_ptr<HeadlessGL> gl_;
};

bool Linked(uint32_t program) {
    GLint linked = GL_FALSE;
    gl::GetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked == GL_TRUE;
}

// Every scene of the scene list, built as the show builds it: a shader that does not compile fails here.
TEST_F(Scenes, EveryProgramCompilesAndLinks) {
    Open(16, 16, HeadlessGL::Format::RGBA8);
    for (int i = 0; i < kSceneCount; ++i) {
        const std::unique_ptr<SceneBase> scene = MakeScene(static_cast<SceneId>(i));
        testing::internal::CaptureStderr();
        scene->Init();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << kSceneNames[i];
        ASSERT_NE(scene->program, nullptr) << kSceneNames[i];
        EXPECT_TRUE(Linked(scene->program->id)) << kSceneNames[i];
    }
}

TEST_F(Scenes, AFailingShaderIsReportedWithTheSceneAndTheShowGoesOn) {
    Open(16, 16, HeadlessGL::Format::RGBA8);
    testing::internal::CaptureStderr();
    const uint32_t program = buildProgram("SceneX", "void main() { gl_FragColor = undeclared; }");
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("SceneX: fragment shader compilation failed"), std::string::npos) << report;
    EXPECT_NE(report.find("undeclared"), std::string::npos) << "the driver's log names the culprit";
    EXPECT_NE(program, 0u);
    EXPECT_FALSE(Linked(program));
}

TEST_F(Scenes, BlackAndWhiteFillTheViewportWhateverTheUniforms) {
    const float loud[3] = {3, 2, 1};
    for (auto [w, h] : {std::pair{1, 1}, std::pair{37, 5}, std::pair{160, 90}}) {
        Open(w, h, HeadlessGL::Format::RGBA8);
        Draw<Sceneb>(123.4, loud);
        for (uint8_t v : gl_->ReadRGBA8()) ASSERT_TRUE(v == 0 || v == 255);
        const std::vector<uint8_t> black = gl_->ReadRGBA8();
        for (size_t i = 0; i < black.size(); ++i) ASSERT_EQ(black[i], i % 4 == 3 ? 255 : 0) << w << "x" << h;
        Draw<Scenew>(0.0, loud);
        for (uint8_t v : gl_->ReadRGBA8()) ASSERT_EQ(v, 255) << w << "x" << h;
    }
}

// A probe that writes the uniforms it receives, and its pixel's window coordinate, into a float framebuffer.
constexpr char kProbe[] = R"glsl(
uniform vec2 resolution;
uniform float time;
uniform float scenetime;
uniform vec3 val;
void main(void) {
    vec2 p = gl_FragCoord.xy;
    if (p.y < 1.0) gl_FragColor = vec4(resolution, time, scenetime);
    else if (p.y < 2.0) gl_FragColor = vec4(val, 1.0);
    else gl_FragColor = vec4(p, 0.0, 1.0);
}
)glsl";
constexpr char kProbeName[] = "Probe";
class ProbeScene final : public ShaderScene<kProbeName, kProbe> {};

TEST_F(Scenes, UniformsArriveAsTheContractSays) {
    Open(7, 3, HeadlessGL::Format::RGBA32F);
    const float val[3] = {0.25f, 1.5f, 2.75f};
    const double time = 206.8;
    Draw<ProbeScene>(time, val);
    const std::vector<float> px = gl_->ReadRGBA32F();
    for (int x = 0; x < 7; ++x) {
        const float* row0 = &px[4 * x];
        EXPECT_EQ(row0[0], 7.0f);
        EXPECT_EQ(row0[1], 3.0f);
        EXPECT_EQ(row0[2], static_cast<float>(time));  // rounded to the nearest float
        EXPECT_EQ(row0[3], 2.6666667f);
        const float* row1 = &px[4 * (7 + x)];
        EXPECT_EQ(row1[0], 0.25f);
        EXPECT_EQ(row1[1], 1.5f);
        EXPECT_EQ(row1[2], 2.75f);
        // Every pixel is drawn once, at its centre.
        const float* row2 = &px[4 * (14 + x)];
        EXPECT_EQ(row2[0], x + 0.5f);
        EXPECT_EQ(row2[1], 2.5f);
    }
    union {
        float f;
        uint32_t bits;
    } bar{kSceneTime};
    EXPECT_EQ(bar.bits, 0x402AAAABu);
}

TEST_F(Scenes, ZeroSizeIsUploadedAsItIs) {
    Open(2, 2, HeadlessGL::Format::RGBA32F);
    ProbeScene scene;
    scene.Init();
    const float val[3] = {0, 0, 0};
    scene.Render(0.0, val);  // width and height still 0 from construction
    const std::vector<float> px = gl_->ReadRGBA32F();
    EXPECT_EQ(px[0], 0.0f);
    EXPECT_EQ(px[1], 0.0f);
    EXPECT_EQ(px[2], 0.0f);
}

}  // namespace
