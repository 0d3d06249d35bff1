#include "demo/main_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/levels.h"
#include "unit/fake_audio.h"

namespace {

using Calls = std::vector<std::string>;

const std::string kStreamOpen = "StreamCreateFile Resource/Glacierhorn.mp3 0 0 0 0";
const std::string kModuleOpen = "MusicLoad Resource/Glacierhorn.mp3 0 0 0 512 1";

ShowOptions AtScale(double scale, bool gentle = false) {
    ShowOptions options;
    options.scale = scale;
    options.gentle = gentle;
    return options;
}

Calls After(const Calls& calls, size_t start) {
    return Calls(calls.begin() + start, calls.end());
}

// What a scene draws over the window's client at `time` with silent levels, drawn apart from the main window.
template <class Scene>
std::vector<uint8_t> DrawnAlone(MainWindow& window, double time) {
    Scene scene;
    scene.Init();
    scene.width = static_cast<float>(window.viewportWidth);
    scene.height = static_cast<float>(window.viewportHeight);
    const float silent[3] = {0, 0, 0};
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.Render(time, silent);
    return window.ReadFrame();
}

TEST(Music, WrongLibraryVersionIsRefusedWithoutInit) {
    for (uint32_t version : {0x02030000u, 0x02050000u, 0x02040000u}) {
        FakeAudio audio;
        audio.version = version;
        testing::internal::CaptureStdout();
        Music music(audio);
        const std::string out = testing::internal::GetCapturedStdout();
        const bool right = version == 0x02040000u;
        EXPECT_EQ(music.ok, right);
        EXPECT_EQ(out, right ? "" : "faild play music");
        EXPECT_EQ(audio.calls.size(), right ? 2u : 1u);
        EXPECT_FALSE(music.Load());  // Init answered false for the right version: no device either way
        EXPECT_EQ(music.handle, 0u);
    }
}

TEST(Music, LoadFreesThenOpensAStreamElseAModule) {
    FakeAudio audio;
    audio.stream = 0;
    audio.module = 0x9001;
    Music music(audio);
    ASSERT_TRUE(music.ok);
    EXPECT_TRUE(music.Load());
    EXPECT_EQ(music.handle, 0x9001u);
    EXPECT_EQ(audio.calls, (Calls{"GetVersion", "Init -1 44100 0", "MusicFree 0", "StreamFree 0", kStreamOpen,
                                  kModuleOpen}));
    audio.calls.clear();
    audio.stream = 0x42;
    EXPECT_TRUE(music.Load());
    EXPECT_EQ(music.handle, 0x42u);
    EXPECT_EQ(audio.calls, (Calls{"MusicFree 36865", "StreamFree 36865", kStreamOpen}));
}

// The working directory comes first, then the folder of the program (a release unpacked anywhere), then an
// install's share folder beside its bin folder.
TEST(Music, FindsTheTrackInTheWorkingDirectoryThenBesideTheProgramThenInstalled) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("tesselune-track-" + std::to_string(::getpid()));
    const fs::path work = root / "work", bin = root / "prefix/bin";
    const fs::path installed = root / "prefix/share/tesselune/Resource/Glacierhorn.mp3";
    const fs::path beside = bin / "Resource/Glacierhorn.mp3", local = work / "Resource/Glacierhorn.mp3";
    for (const fs::path& file : {installed, beside, local}) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "track";
    }
    const fs::path previous = fs::current_path();
    fs::current_path(work);
    const std::string exeDirectory = bin.string() + "/";
    EXPECT_EQ(FindTrack(exeDirectory), "Resource/Glacierhorn.mp3");
    fs::remove(local);
    EXPECT_EQ(fs::path(FindTrack(exeDirectory)), fs::path(exeDirectory + "Resource/Glacierhorn.mp3"));
    fs::remove(beside);
    EXPECT_TRUE(fs::equivalent(FindTrack(exeDirectory), installed));
    fs::remove(installed);
    EXPECT_EQ(FindTrack(exeDirectory), "Resource/Glacierhorn.mp3");  // none: the show's own path, silent
    fs::current_path(previous);
    fs::remove_all(root);
}

TEST(SpectrumLevels, ThreeTimesTheRootOfBins20_50And200) {
    float spectrum[1024] = {};
    spectrum[20] = 1.0f;
    spectrum[50] = 0.25f;
    spectrum[21] = spectrum[49] = spectrum[199] = spectrum[201] = 9.0f;  // neighbours are not read
    float levels[3];
    audio::SpectrumLevels(spectrum, levels);
    EXPECT_EQ(levels[0], 3.0f);
    EXPECT_EQ(levels[1], 1.5f);
    EXPECT_EQ(levels[2], 0.0f);
    // The root is rounded to float before the product: 3 x float(sqrt(2)) rounds differently from 3 x
    // sqrt(2).
    spectrum[200] = 2.0f;
    audio::SpectrumLevels(spectrum, levels);
    EXPECT_EQ(levels[2], static_cast<float>(3.0 * static_cast<double>(static_cast<float>(std::sqrt(2.0)))));
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { testing::FLAGS_gtest_death_test_style = "threadsafe"; }
};

TEST_F(MainWindowTest, StartsTheTrackBeforeBuildingAndDrawsTheFirstFrame) {
    FakeAudio audio;
    audio.stream = 7;
    audio.position = 176400;
    audio.seconds = 1.0;
    testing::internal::CaptureStderr();
    MainWindow window(audio);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "every scene's program compiles and links";
    EXPECT_EQ(audio.calls, (Calls{"GetVersion", "Init -1 44100 0", "MusicFree 0", "StreamFree 0", kStreamOpen,
                                  "ChannelPlay 7 0", "ChannelGetData 7 2147483651", "ChannelGetPosition 7 0",
                                  "ChannelBytes2Seconds 7 176400"}));
    EXPECT_EQ(window.framesPresented, 1);
    EXPECT_EQ(window.viewportWidth, CoreWindow_null::kClientWidth);
    EXPECT_EQ(window.viewportHeight, CoreWindow_null::kClientHeight);
#define TESSELUNE_SCENE_FIELD(Name, field, kind) window.field,
    SceneBase* const scenes[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_FIELD)};
#undef TESSELUNE_SCENE_FIELD
    for (SceneBase* scene : scenes) {
        ASSERT_NE(scene, nullptr);
        EXPECT_NE(scene->program, nullptr);
    }
    EXPECT_EQ(window.SelectScene(1.0), window.scene2);
    EXPECT_EQ(window.SelectScene(6.0), window.scene7);
    EXPECT_EQ(window.SelectScene(160.0), window.scene0);
    EXPECT_EQ(window.SelectScene(200.0), window.scenew);
}

// Relative luminance of each pixel of an RGBA frame.
std::vector<double> Luminance(const std::vector<uint8_t>& rgba) {
    const auto linear = [](uint8_t v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    std::vector<double> out;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        out.push_back(0.2126 * linear(rgba[i]) + 0.7152 * linear(rgba[i + 1]) + 0.0722 * linear(rgba[i + 2]));
    return out;
}

// The browser's start: only the scene of the first frame is built before it, the rest when asked for or one
// at a time in the list's order, so that none is built twice and every one is there at the end.
TEST_F(MainWindowTest, ScenesLaterBuildsTheFirstFramesSceneThenTheRestOneAtATime) {
    FakeAudio audio;
    audio.stream = 7;
    ShowOptions options = AtScale(1.0);
    options.scenesLater = true;
    MainWindow window(audio, options);
#define TESSELUNE_SCENE_FIELD(Name, field, kind) &window.field,
    SceneBase** const fields[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_FIELD)};
#undef TESSELUNE_SCENE_FIELD
    const auto built = [&] {
        std::vector<SceneBase*> scenes;
        for (SceneBase** field : fields) scenes.push_back(*field);
        return scenes;
    };
    std::vector<SceneBase*> before = built();
    EXPECT_EQ(window.framesPresented, 1);
    EXPECT_EQ(std::count(before.begin(), before.end(), nullptr), kSceneCount - 1);
    ASSERT_NE(window.scene2, nullptr);  // the scene at time 0
    EXPECT_EQ(window.ReadFrame(), DrawnAlone<Scene2>(window, 0.0));

    SceneBase* const asked = window.SelectScene(6.0);
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(asked, window.scene7);
    EXPECT_EQ(window.SelectScene(6.0), asked) << "built once";

    int prepared = 0;
    for (before = built(); window.PrepareScene(); before = built()) {
        const std::vector<SceneBase*> after = built();
        const auto first = std::find(before.begin(), before.end(), nullptr) - before.begin();
        for (int id = 0; id < kSceneCount; ++id) {
            if (id == first)
                EXPECT_NE(after[id], nullptr);
            else
                EXPECT_EQ(after[id], before[id]) << "scene " << id;
        }
        ++prepared;
    }
    EXPECT_EQ(prepared, kSceneCount - 2);
    for (SceneBase* scene : built()) {
        ASSERT_NE(scene, nullptr);
        EXPECT_NE(scene->program, nullptr);
    }
    EXPECT_EQ(window.SelectScene(160.0), window.scene0);
}

TEST_F(MainWindowTest, GentleModeEasesTheCutBetweenScenes) {
    FakeAudio audio;
    audio.stream = 7;
    audio.seconds = 5.3;  // Scene2, 0.03 s before the cut to Scene7
    MainWindow window(audio, AtScale(1.0, true));
    const std::vector<uint8_t> before = window.ReadFrame();
    EXPECT_EQ(before, DrawnAlone<Scene2>(window, 5.3)) << "the first frame is the scene's own";
    audio.seconds = 5.35;  // Scene7
    window.OnIdle();
    const std::vector<uint8_t> eased = window.ReadFrame();
    const std::vector<uint8_t> cut = DrawnAlone<Scene7>(window, audio.seconds);
    EXPECT_NE(eased, cut);
    const std::vector<double> from = Luminance(before), to = Luminance(eased), wanted = Luminance(cut);
    double most = 0.0, wantedMost = 0.0;
    for (size_t i = 0; i < from.size(); ++i) {
        most = std::max(most, std::abs(to[i] - from[i]));
        wantedMost = std::max(wantedMost, std::abs(wanted[i] - from[i]));
    }
    EXPECT_GT(wantedMost, 0.3);
    EXPECT_LE(most, 0.6 * 0.05 + 0.01) << "0.6 of luminance a second, and the rounding of 8 bits";
    EXPECT_GT(most, 0.6 * 0.05 - 0.01);
    window.SetGentle(false);
    window.OnIdle();
    EXPECT_EQ(window.ReadFrame(), cut);
}

TEST_F(MainWindowTest, WithoutADeviceEveryFrameIsScene2AtTimeZero) {
    FakeAudio audio;
    audio.initResult = false;
    testing::internal::CaptureStdout();
    MainWindow window(audio, AtScale(1.0));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "faild play music");
    window.OnIdle();
    // Only the spectrum query (with no channel) is made per frame.
    EXPECT_EQ(audio.calls, (Calls{"GetVersion", "Init -1 44100 0", "ChannelGetData 0 2147483651",
                                  "ChannelGetData 0 2147483651"}));
    const std::vector<uint8_t> frame = window.ReadFrame();
    EXPECT_EQ(frame, DrawnAlone<Scene2>(window, 0.0));
    EXPECT_NE(frame, DrawnAlone<Scene7>(window, 0.0));
}

TEST_F(MainWindowTest, TrackThatDoesNotOpenPlaysNothingAndDrawsAtTheLibrarysAnswer) {
    FakeAudio audio;
    MainWindow window(audio);
    EXPECT_EQ(After(audio.calls, 2),
              (Calls{"MusicFree 0", "StreamFree 0", kStreamOpen, kModuleOpen, "ChannelPlay 0 0",
                     "ChannelGetData 0 2147483651", "ChannelGetPosition 0 0", "ChannelBytes2Seconds 0 -1"}));
    EXPECT_EQ(window.framesPresented, 1);  // a negative time is Scene2's, and the show goes on
}

TEST_F(MainWindowTest, CloseRequestEndsTheLoopAndFreesTheLibrary) {
    FakeAudio audio;
    audio.stream = 3;
    {
        MainWindow window(audio);
        FirstWindow = &window;
        // None of these has an effect on the show.
        window.Post(WM_KEYDOWN, 'A', 0);
        window.Post(WM_KEYUP, VK_ESCAPE, 0);
        window.Post(WM_LBUTTONDOWN, 0, MakeLParam(5, 5));
        window.Post(WM_MOUSEMOVE, 0, MakeLParam(6, 5));
        window.Post(WM_CLOSE, 0, 0);
        audio.calls.clear();
        RunMessageLoop();
        EXPECT_TRUE(audio.calls.empty())
            << "input draws nothing, and the queue is never empty before the quit";
        audio.calls.clear();
    }
    FirstWindow = nullptr;
    EXPECT_EQ(audio.calls, Calls{"Free"});
}

TEST_F(MainWindowTest, ResizeStoresTheViewportAndDrawsAtOnce) {
    FakeAudio audio;
    MainWindow window(audio);
    window.Post(WM_SIZE, 0, 0);
    Message m;
    ASSERT_TRUE(platform::PollMessage(m));
    platform::Dispatch(m);
    EXPECT_EQ(window.viewportWidth, 0);
    EXPECT_EQ(window.viewportHeight, 0);
    EXPECT_EQ(window.GetWidth(), 0);
    EXPECT_EQ(window.framesPresented, 2);
    EXPECT_EQ(window.scene2->width, 0.0f);
    window.Post(WM_PAINT, 0, 0);
    ASSERT_TRUE(platform::PollMessage(m));
    platform::Dispatch(m);
    EXPECT_EQ(window.framesPresented, 3);
}

// Below full scale the frame is drawn small and scaled up over the whole window: close to the full-size
// frame everywhere, the same way up, yet not that frame.
TEST_F(MainWindowTest, AtHalfScaleTheFrameIsScaledUpOverTheWindow) {
    FakeAudio audio;
    audio.stream = 3;
    audio.seconds = 14.5;
    MainWindow window(audio, AtScale(0.5));
    const std::vector<uint8_t> frame = window.ReadFrame();
    const std::vector<uint8_t> full = DrawnAlone<Scene1>(window, 14.5);
    ASSERT_EQ(frame.size(), full.size());
    // Compared in 10x10-pixel means, which the fine detail lost at half size hardly moves.
    constexpr int kBlock = 10, kWidth = CoreWindow_null::kClientWidth,
                  kHeight = CoreWindow_null::kClientHeight;
    const auto blockMean = [](const std::vector<uint8_t>& rgba, int bx, int by, int c) {
        int sum = 0;
        for (int y = by * kBlock; y < (by + 1) * kBlock; ++y) {
            for (int x = bx * kBlock; x < (bx + 1) * kBlock; ++x) sum += rgba[(y * kWidth + x) * 4 + c];
        }
        return sum / double(kBlock * kBlock);
    };
    double difference = 0.0, flipped = 0.0, brightness = 0.0;
    const int blocks = kWidth / kBlock * (kHeight / kBlock);
    for (int by = 0; by < kHeight / kBlock; ++by) {
        for (int bx = 0; bx < kWidth / kBlock; ++bx) {
            for (int c = 0; c < 3; ++c) {
                const double drawn = blockMean(frame, bx, by, c);
                difference += std::abs(drawn - blockMean(full, bx, by, c));
                flipped += std::abs(drawn - blockMean(full, bx, kHeight / kBlock - 1 - by, c));
                brightness += blockMean(full, bx, by, c);
            }
        }
    }
    EXPECT_GT(brightness / blocks / 3, 10.0) << "a picture to compare";
    EXPECT_GT(difference, 0.0);
    EXPECT_LT(difference / blocks / 3, 4.0);
    EXPECT_GT(flipped / blocks / 3, 20.0) << "a picture that would show being drawn upside down";
    // Drawn at half the window's width and height.
    EXPECT_EQ(window.scene1->width, CoreWindow_null::kClientWidth / 2);
}

// Runs in the child of a death test: reports at exit whether the library was freed and how many frames were
// presented, since the process ends without returning.
void ReportAtExit(FakeAudio& audio, MainWindow& window) {
    static FakeAudio* reportedAudio;
    static MainWindow* reportedWindow;
    reportedAudio = &audio;
    reportedWindow = &window;
    std::atexit([] {
        bool freed = false;
        for (const std::string& call : reportedAudio->calls) freed |= call == "Free";
        std::fprintf(stderr, "at exit: freed=%d presented=%d\n", freed, reportedWindow->framesPresented);
    });
}

// Runs `body` on a show of stream 3 that starts at `seconds` and reports at exit (ReportAtExit).
template <class Body>
void RunReportedShow(double seconds, Body body) {
    FakeAudio audio;
    audio.stream = 3;
    audio.seconds = seconds;
    MainWindow window(audio);
    ReportAtExit(audio, window);
    body(audio, window);
}

// Minimised, the show presents nothing and waits for messages between looks at the music, which still ends
// it after 206.87 s.
TEST_F(MainWindowTest, MinimisedTheShowDrawsNothingWhileTheMusicGoesOnToTheEnd) {
    EXPECT_EXIT(
        {
            RunReportedShow(100.0, [](FakeAudio& audio, MainWindow& window) {
                window.shown = false;
                audio.calls.clear();
                window.OnIdle();
                window.OnIdle();
                std::fprintf(stderr, "waits=%d position queries=%d\n", window.waits,
                             static_cast<int>(std::count(audio.calls.begin(), audio.calls.end(),
                                                         "ChannelGetPosition 3 0")));
                audio.seconds = std::nextafter(206.87, 300.0);
                window.OnIdle();
                std::fprintf(stderr, "the show went on\n");
            });
        },
        testing::ExitedWithCode(0), "waits=2 position queries=2\nat exit: freed=0 presented=1\n$");
}

TEST_F(MainWindowTest, EscapeEndsTheShowWithoutTheDestructor) {
    EXPECT_EXIT(
        {
            RunReportedShow(0.0, [](FakeAudio&, MainWindow& window) {
                FirstWindow = &window;
                window.Post(WM_KEYDOWN, VK_ESCAPE, 0);
                RunMessageLoop();
                std::fprintf(stderr, "the loop returned\n");
            });
        },
        testing::ExitedWithCode(0), "at exit: freed=0 presented=1\n$");
}

TEST_F(MainWindowTest, ShowEndsOnTheFirstFrameAfter206_87WithoutDrawingIt) {
    EXPECT_EXIT(
        {
            RunReportedShow(206.87 /* still drawn */, [](FakeAudio& audio, MainWindow& window) {
                window.OnIdle();
                audio.seconds = std::nextafter(206.87, 300.0);
                audio.echo = true;
                std::fprintf(stderr, "last frame:\n");
                window.OnIdle();
                std::fprintf(stderr, "the frame returned\n");
            });
        },
        testing::ExitedWithCode(0),
        "last frame:\nChannelGetData 3 2147483651\nChannelGetPosition 3 0\nChannelBytes2Seconds 3 0\n"
        "at exit: freed=0 presented=2\n$");
}

}  // namespace
