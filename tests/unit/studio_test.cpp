// The studio: the show's texts and schedule read from a folder and read again when saved.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/main_window.h"
#include "scenes/shader_files.h"
#include "shaders/shader_texts.h"
#include "unit/fake_audio.h"

namespace {

namespace fs = std::filesystem;

// A copy of the source tree's shaders and schedule, which a test edits as a maker would.
class StudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tesselune-studio-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "scenes");
        fs::copy(StudioSourceTree() / "shaders", dir / "shaders");
        fs::copy(StudioSourceTree() / "scenes/schedule.txt", dir / "scenes/schedule.txt");
        audio.stream = 3;
    }
    void TearDown() override { fs::remove_all(dir); }

    void Write(const std::string& file, const std::string& text) { std::ofstream(dir / file) << text; }
    std::string Read(const std::string& file) {
        std::ifstream in(dir / file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // `file` with its line `number` (from 1) replaced by `line`.
    void ReplaceLine(const std::string& file, int number, const std::string& line) {
        std::string text = Read(file);
        size_t start = 0;
        for (int n = 1; n < number; ++n) start = text.find('\n', start) + 1;
        text.replace(start, text.find('\n', start) - start, line);
        Write(file, text);
    }
    // A frame drawn at `time`, and the picture of the scene it showed, drawn again without the overlay.
    std::vector<uint8_t> DrawAt(MainWindow& window, double time) {
        audio.seconds = time;
        window.OnDraw();
        ClearFrame();
        DrawScene(*window.SelectScene(time), window.viewportWidth, window.viewportHeight,
                  MusicReading{time, {}});
        return window.ReadFrame();
    }

    fs::path dir;
    FakeAudio audio;
};

constexpr char kRed[] = "void main() {\n    gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);\n}\n";

bool AllRed(const std::vector<uint8_t>& frame) {
    for (size_t i = 0; i < frame.size(); i += 4) {
        if (frame[i] != 255 || frame[i + 1] != 0 || frame[i + 2] != 0) return false;
    }
    return true;
}

double MeanRed(const std::vector<uint8_t>& frame) {
    double sum = 0.0;
    for (size_t i = 0; i < frame.size(); i += 4) sum += frame[i];
    return sum / static_cast<double>(frame.size() / 4);
}

TEST_F(StudioTest, ASavedTextIsDrawnAndABrokenOneKeepsTheLastPictureNamingItsLine) {
    MainWindow window(audio, false, OpenStudio(dir));
    const std::vector<uint8_t> shipped = DrawAt(window, 8.0);  // Scene7
    EXPECT_FALSE(AllRed(shipped));
    Write("shaders/Scene7.frag", kRed);
    EXPECT_TRUE(AllRed(DrawAt(window, 8.0)));

    testing::internal::CaptureStderr();
    Write("shaders/Scene7.frag", "void main() {\n    gl_FragColor = vec4(1.0);\n    not glsl;\n}\n");
    EXPECT_TRUE(AllRed(DrawAt(window, 8.0)));
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("Scene7: fragment shader compilation failed:\nScene7.frag:3"), std::string::npos)
        << reported;
    EXPECT_EQ(window.StudioErrors(), reported);

    Write("shaders/Scene7.frag", kRed);
    DrawAt(window, 8.0);
    EXPECT_EQ(window.StudioErrors(), "");
}

TEST_F(StudioTest, AFaultInTheKitIsNamedAsTheKitsLineInEachSceneThatIncludesIt) {
    MainWindow window(audio, false, OpenStudio(dir));
    const std::vector<uint8_t> before = DrawAt(window, 74.0);  // Scene5
    testing::internal::CaptureStderr();
    ReplaceLine("shaders/noise_kit.glsl", 12, "float broken = ;");
    EXPECT_EQ(DrawAt(window, 74.0), before);
    const std::string errors = testing::internal::GetCapturedStderr();
    for (const char* scene : {"Scene5", "Scene5_1", "Scene6"}) {
        EXPECT_NE(
            errors.find(std::string(scene) + ": fragment shader compilation failed:\nnoise_kit.glsl:12"),
            std::string::npos)
            << scene << "\n"
            << errors;
    }
}

// Scene2 draws by its particle path where the context allows, as here, and by its shader path elsewhere:
// both take the particle disc, and its gradient turned red shows through.
TEST_F(StudioTest, Scene2FollowsItsParticleDisc) {
    MainWindow window(audio, false, OpenStudio(dir));
    const std::vector<uint8_t> before = DrawAt(window, 1.0);
    std::string disc = Read("shaders/particle_disc.glsl");
    const std::string gradient = "vec3(0.1, 0.15, 0.2) * fragY / height";
    ASSERT_NE(disc.find(gradient), std::string::npos);
    Write("shaders/particle_disc.glsl",
          disc.replace(disc.find(gradient), gradient.size(), "vec3(0.9, 0.0, 0.0)"));
    const std::vector<uint8_t> after = DrawAt(window, 1.0);
    EXPECT_NE(after, before);
    EXPECT_EQ(window.StudioErrors(), "");
    EXPECT_GT(MeanRed(after), MeanRed(before) + 10.0);
    EXPECT_EQ(static_cast<Scene2*>(window.scene2)->DrawingPath(), Scene2Path::Particles);
}

// The particle path is Scene2's own code written again for blended targets: once the maker changes that code,
// the shader path, which the text draws, shows it; the text as it was brings the particle path back.
TEST_F(StudioTest, Scene2ShowsItsChangedCodeByItsShaderPath) {
    MainWindow window(audio, false, OpenStudio(dir));
    const std::string shipped = Read("shaders/Scene2.frag");
    auto& scene2 = *static_cast<Scene2*>(window.scene2);
    ASSERT_EQ(scene2.DrawingPath(), Scene2Path::Particles);
    Write("shaders/Scene2.frag", "#include \"particle_disc.glsl\"\n" + std::string(kRed));
    EXPECT_TRUE(AllRed(DrawAt(window, 1.0)));
    EXPECT_EQ(scene2.DrawingPath(), Scene2Path::Shader);
    Write("shaders/Scene2.frag", shipped);
    EXPECT_FALSE(AllRed(DrawAt(window, 1.0)));
    EXPECT_EQ(scene2.DrawingPath(), Scene2Path::Particles);
    EXPECT_EQ(window.StudioErrors(), "");
}

TEST_F(StudioTest, AMovedThresholdTakesEffectAndABadLineKeepsTheLastSchedule) {
    MainWindow window(audio, false, OpenStudio(dir));
    EXPECT_EQ(window.SelectScene(70.7), window.scene4);
    std::string text = Read("scenes/schedule.txt");
    text.replace(text.find("\n27  Scene4"), 11, "\n26.5 Scene4");
    Write("scenes/schedule.txt", text);
    window.OnDraw();
    EXPECT_EQ(window.SelectScene(70.7), window.scene5);
    EXPECT_EQ(window.SelectScene(70.0), window.scene4);

    testing::internal::CaptureStderr();
    text.replace(text.find("\n29  Scene5"), 11, "\n29  Scene55");
    Write("scenes/schedule.txt", text);
    window.OnDraw();
    const std::string reported = testing::internal::GetCapturedStderr();
    const int line =
        1 + static_cast<int>(std::count(text.begin(), text.begin() + text.find("Scene55"), '\n'));
    EXPECT_EQ(reported, "scenes/schedule.txt:" + std::to_string(line) + ": unknown scene \"Scene55\"\n");
    EXPECT_EQ(window.SelectScene(70.7), window.scene5);
}

// Tab shows and hides the overlay: the panel and the strip over the picture; a fault stands over it either
// way.
TEST_F(StudioTest, TheOverlayShowsOverThePicture) {
    MainWindow window(audio, false, OpenStudio(dir));
    const std::vector<uint8_t> picture = DrawAt(window, 8.0);
    window.OnDraw();
    const std::vector<uint8_t> overlaid = window.ReadFrame();
    const size_t row = 4 * static_cast<size_t>(window.viewportWidth);
    EXPECT_NE(std::vector<uint8_t>(overlaid.begin(), overlaid.begin() + row),
              std::vector<uint8_t>(picture.begin(), picture.begin() + row))
        << "the strip along the bottom";
    EXPECT_NE(std::vector<uint8_t>(overlaid.end() - row, overlaid.end()),
              std::vector<uint8_t>(picture.end() - row, picture.end()))
        << "the panel at the top";
    window.OnKeyDown(0x09);
    EXPECT_EQ(window.ReadFrame(), picture);

    Write("shaders/Scene7.frag", "void main() {\n    not glsl;\n}\n");
    testing::internal::CaptureStderr();
    window.OnDraw();
    testing::internal::GetCapturedStderr();
    const std::vector<uint8_t> faulted = window.ReadFrame();
    EXPECT_NE(std::vector<uint8_t>(faulted.end() - row, faulted.end()),
              std::vector<uint8_t>(picture.end() - row, picture.end()))
        << "the fault at the top";
}

// The bytes of the fake's 44100 Hz stereo channel at `seconds`, rounded up to a whole frame.
std::string BytesAt(double seconds) {
    return std::to_string(static_cast<int64_t>(std::ceil(seconds * 44100)) * 4);
}

bool Called(const FakeAudio& audio, const std::string& call) {
    return std::find(audio.calls.begin(), audio.calls.end(), call) != audio.calls.end();
}

// Each key moves the music, and the frame drawn next shows the time and the scene from there.
TEST_F(StudioTest, KeysMoveTheMusicAndTheSceneTogether) {
    MainWindow window(audio, false, OpenStudio(dir));
    const double bar = ShowSchedule().bar;
    const struct {
        int key;
        double from, to;
    } moves[] = {
        {0x27, 8.0, 8.0 + bar},             // Right: a bar on
        {0x25, 8.0, 8.0 - bar},             // Left: a bar back
        {0x25, 1.0, 0.0},                   // not before the start
        {0x22, 8.0, 10.666666666666668},    // Page Down: the next slot
        {0x21, 8.0, 0.0},                   // Page Up: the slot before
        {0x21, 45.0, 34.66666666666667},    // from Scene2 (40 s to 45.3 s) to Scene5 (34.7 s to 40 s)
        {0x22, 200.0, ShowSchedule().end},  // past the last slot: the end
        {0x24, 100.0, 0.0},                 // Home
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.from);
        DrawAt(window, move.from);
        audio.calls.clear();
        window.OnKeyDown(move.key);
        EXPECT_TRUE(Called(audio, "ChannelSetPosition 3 " + BytesAt(move.to) + " 0"));
        EXPECT_GE(audio.seconds, move.to);
        EXPECT_LT(audio.seconds, move.to + 1e-4);
        // The frame drawn at once reads the new time, and shows the scene of it.
        EXPECT_EQ(audio.calls.back(), "ChannelBytes2Seconds 3 " + BytesAt(move.to));
        EXPECT_EQ(window.framesPresented, 3 + static_cast<int>(&move - moves) * 2);
    }
    audio.seconds = 8.0;
    window.OnKeyDown(0x22);
    EXPECT_EQ(window.SelectScene(audio.seconds), window.scene1);
    audio.calls.clear();
    window.OnKeyDown('Q');
    EXPECT_TRUE(audio.calls.empty()) << "not a key of the studio's";
}

TEST_F(StudioTest, SpacePausesAndResumesAndTheEndPausesInsteadOfEnding) {
    MainWindow window(audio, false, OpenStudio(dir));
    audio.calls.clear();
    window.OnKeyDown(0x20);
    EXPECT_TRUE(Called(audio, "ChannelPause 3"));
    audio.calls.clear();
    window.OnKeyDown(0x20);
    EXPECT_TRUE(Called(audio, "ChannelPlay 3 0"));

    audio.calls.clear();
    DrawAt(window, 206.88);
    EXPECT_TRUE(Called(audio, "ChannelPause 3"));
    EXPECT_EQ(window.framesPresented, 4) << "drawn, not ended";
}

TEST_F(StudioTest, LoopSendsTheMusicBackToTheSlotsStart) {
    MainWindow window(audio, false, OpenStudio(dir));
    DrawAt(window, 8.0);  // Scene7, 5.3 s to 10.7 s
    window.OnKeyDown('L');
    audio.calls.clear();
    const std::string back = "ChannelSetPosition 3 " + BytesAt(5.333333333333334) + " 0";
    DrawAt(window, 10.5);
    EXPECT_FALSE(Called(audio, back)) << "still within the slot";
    DrawAt(window, 10.666666666666668);
    EXPECT_TRUE(Called(audio, back));
    EXPECT_EQ(window.SelectScene(audio.seconds), window.scene7);
    window.OnKeyDown('L');
    audio.calls.clear();
    DrawAt(window, 10.666666666666668);
    EXPECT_FALSE(Called(audio, back)) << "no longer looping";
}

TEST_F(StudioTest, TheStripAlongTheBottomScrubs) {
    MainWindow window(audio, false, OpenStudio(dir));
    const int width = window.viewportWidth, height = window.viewportHeight;
    const double end = ShowSchedule().end;
    audio.calls.clear();
    window.OnLButtonDown(width / 2, height - 20);  // above the strip
    window.OnMouseMove(width / 4, height - 20);
    window.OnLButtonUp(width / 4, height - 20);
    EXPECT_TRUE(audio.calls.empty());
    window.OnLButtonDown(width / 2, height - 1);
    EXPECT_EQ(audio.seconds, std::ceil(end * (width / 2 + 0.5) / width * 44100) / 44100);
    window.OnMouseMove(width / 4, 0);  // dragged, wherever the pointer goes
    EXPECT_EQ(audio.seconds, std::ceil(end * (width / 4 + 0.5) / width * 44100) / 44100);
    window.OnMouseMove(-50, 0);
    EXPECT_EQ(audio.seconds, 0.0);
    window.OnLButtonUp(-50, 0);
    audio.calls.clear();
    window.OnMouseMove(width / 2, height - 1);
    EXPECT_TRUE(audio.calls.empty()) << "released";
}

// Until a file is saved the studio draws what the show draws: the files read as the build embeds them.
TEST(ShaderFileText, ReadsTheSourceTreeAsTheBuildEmbedsIt) {
#define TESSELUNE_SCENE_TEXT(Name, field, kind) shader_text::Name,
    const char* const embedded[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_TEXT)};
#undef TESSELUNE_SCENE_TEXT
    for (int i = 0; i < kSceneCount; ++i) {
        ShaderFileText text;
        std::string error;
        ASSERT_TRUE(text.Read(StudioSourceTree() / "shaders", std::string(kSceneNames[i]) + ".frag", error))
            << error;
        EXPECT_EQ(text.text, embedded[i]) << kSceneNames[i];
    }
}

TEST_F(StudioTest, AMissingOrLoopingIncludeIsAFault) {
    ShaderFileText text;
    std::string error;
    Write("shaders/a.frag", "#include \"missing.glsl\"\n");
    EXPECT_FALSE(text.Read(dir / "shaders", "a.frag", error));
    EXPECT_EQ(error, "missing.glsl: cannot be read");
    Write("shaders/b.glsl", "#include \"a.frag\"\n");
    Write("shaders/a.frag", "#include \"b.glsl\"\n");
    EXPECT_FALSE(text.Read(dir / "shaders", "a.frag", error));
    EXPECT_NE(error.find("included within itself"), std::string::npos) << error;
}

}  // namespace
