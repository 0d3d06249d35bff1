// The capture tool as a user runs it: stills, videos, and its refusals.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/capture/options.h"
#include "tools/capture/show_renderer.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int code;
    std::string err;
};

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Image ReadPng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Image out;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u) << "8-bit RGB without alpha";
    image.format = PNG_FORMAT_RGB;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr);
    return out;
}

// The lines of standard error that are not progress lines.
int ProblemLines(const std::string& err) {
    int lines = 0;
    for (size_t start = 0, end; (end = err.find('\n', start)) != std::string::npos; start = end + 1) {
        lines += err.compare(start, 6, "frame ") != 0;
    }
    return lines;
}

class CaptureTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("capture_test_" + std::to_string(::getpid()) + "_" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Outcome Capture(const std::string& args, const std::string& environment = "") {
        const fs::path err = dir_ / "stderr.txt";
        const std::string command = "cd '" + dir_.string() + "' && " + environment + " '" CAPTURE_TOOL "' " +
                                    args + " 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(err)};
    }
    Image Still(const std::string& args) {
        const Outcome run = Capture("still --output still.png " + args);
        EXPECT_EQ(run.code, 0) << run.err;
        return ReadPng(dir_ / "still.png");
    }
    void MakeTrack(double seconds) {
        ASSERT_EQ(std::system(("'" TRACK_TOOL "' make '" + (dir_ / "track.wav").string() + "' " +
                               std::to_string(seconds))
                                  .c_str()),
                  0);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
        std::erase(names, "stderr.txt");
        std::erase(names, "track.wav");
        std::erase(names, "probe.txt");
        return names;
    }
    fs::path dir_;
};

TEST_F(CaptureTool, BlackAndWhiteStillsAtAnySize) {
    for (const char* size : {"1x1", "33x7", "320x180"}) {
        const Image black = Still(std::string("--time 3 --levels 0,0,0 --scene Sceneb --size ") + size);
        const Image white = Still(std::string("--time 3 --levels 1,2,3 --scene Scenew --size ") + size);
        ASSERT_EQ(std::to_string(black.width) + "x" + std::to_string(black.height), size);
        ASSERT_EQ(white.rgb.size(), black.rgb.size());
        for (uint8_t v : black.rgb) ASSERT_EQ(v, 0);
        for (uint8_t v : white.rgb) ASSERT_EQ(v, 255);
    }
    EXPECT_EQ(Still("--time 3 --scene Sceneb").width, 1280) << "the default size is the window's";
}

TEST_F(CaptureTool, WithoutASceneTheScheduleChooses) {
    const std::string common = " --levels 0.5,0.5,0.5 --size 64x36";
    // Scene2 until 16/3 s, then Scene7.
    const Image before = Still("--time 5.33" + common), after = Still("--time 5.34" + common);
    EXPECT_EQ(before.rgb, Still("--time 5.33 --scene Scene2" + common).rgb);
    EXPECT_EQ(after.rgb, Still("--time 5.34 --scene Scene7" + common).rgb);
    EXPECT_NE(after.rgb, Still("--time 5.34 --scene Scene2" + common).rgb);
    EXPECT_EQ(Still("--time 197.4" + common).rgb, Still("--time 197.4 --scene Scenew" + common).rgb);
}

TEST_F(CaptureTool, StillsAreDeterministicAndMatchTheVideosFrames) {
    MakeTrack(2.0);
    ASSERT_EQ(Capture("still --time 1.375 --size 48x27 --track track.wav --output a.png").code, 0);
    ASSERT_EQ(Capture("still --time 1.375 --size 48x27 --track track.wav --output b.png").code, 0);
    EXPECT_EQ(ReadFile(dir_ / "a.png"), ReadFile(dir_ / "b.png"));
    const Outcome video =
        Capture("video --size 48x27 --fps 8 --from 1 --to 1.5 --track track.wav --frames frames");
    ASSERT_EQ(video.code, 0) << video.err;
    EXPECT_TRUE(fs::exists(dir_ / "frames/frame_000003.png"));
    EXPECT_FALSE(fs::exists(dir_ / "frames/frame_000004.png"));
    EXPECT_EQ(ReadFile(dir_ / "a.png"), ReadFile(dir_ / "frames/frame_000003.png"))
        << "frame 3 is at 1 + 3/8 s";
    // The track's levels, not silence, are drawn when none are given.
    ASSERT_EQ(Capture("still --time 1.375 --size 48x27 --levels 0,0,0 --output silent.png").code, 0);
    EXPECT_NE(ReadFile(dir_ / "a.png"), ReadFile(dir_ / "silent.png"));
}

TEST_F(CaptureTool, ShortVideoHasItsFramesDurationAndSound) {
    MakeTrack(2.0);
    const Outcome run = Capture("video --size 64x36 --fps 8 --to 0.5 --track track.wav --output show.mp4");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("frame 4 of 4"), std::string::npos) << run.err;
    const fs::path probe = dir_ / "probe.txt";
    ASSERT_EQ(
        std::system(("ffprobe -v error -show_entries stream=codec_type,codec_name,nb_frames,width,height "
                     "-show_entries format=duration -of default=noprint_wrappers=1 '" +
                     (dir_ / "show.mp4").string() + "' >'" + probe.string() + "'")
                        .c_str()),
        0);
    const std::string info = ReadFile(probe);
    EXPECT_NE(info.find("codec_name=h264"), std::string::npos) << info;
    EXPECT_NE(info.find("width=64\nheight=36"), std::string::npos) << info;
    EXPECT_NE(info.find("nb_frames=4"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_type=audio"), std::string::npos) << info;
    const size_t duration = info.find("duration=");
    ASSERT_NE(duration, std::string::npos);
    EXPECT_NEAR(std::stod(info.substr(duration + 9)), 0.5, 0.05) << info;
    EXPECT_EQ(Files(), std::vector<std::string>{"show.mp4"}) << "nothing left beside the video";
}

TEST_F(CaptureTool, ErrorsSayWhatIsWrongAndLeaveNothingBehind) {
    MakeTrack(1.0);
    const struct {
        std::string args;
        int code;
        std::string says;
    } cases[] = {
        {"still --time 1 --scene Scene9 --output x.png", 2, "Scene9"},
        {"still --time 1 --size 64 --output x.png", 2, "--size"},
        {"still --time 1 --size 0x10 --output x.png", 2, "--size"},
        {"still --time 1 --levels 1,2 --output x.png", 2, "--levels"},
        {"still --time 1 --levels 1,2,x --output x.png", 2, "--levels"},
        {"still --time inf --output x.png", 2, "--time"},
        {"still --time nan --output x.png", 2, "--time"},
        {"still --output x.png", 2, "--time"},
        {"still --time 1 --fps 3 --output x.png", 2, "--fps"},
        {"video --fps 0 --output x.mp4", 2, "--fps"},
        {"video --from 3 --to 2 --output x.mp4", 2, "--to"},
        {"video --size 63x36 --output x.mp4", 2, "even"},
        {"video --track track.wav", 2, "--output"},
        {"dance", 2, "dance"},
        {"still --time 1 --size 100000x10 --output x.png", 1, "100000x10"},
        {"video --size 64x36 --to 0.1 --track missing.wav --output x.mp4", 1, "missing.wav"},
        {"video --size 64x36 --to 0.1 --track track.wav --output no/such/dir/x.mp4", 1, "ffmpeg"},
    };
    for (const auto& c : cases) {
        const Outcome run = Capture(c.args);
        EXPECT_EQ(run.code, c.code) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_EQ(ProblemLines(run.err), 1) << c.args << "\n" << run.err;
        EXPECT_TRUE(Files().empty()) << c.args;
    }
    const Outcome noFfmpeg =
        Capture("video --size 64x36 --to 0.1 --track track.wav --output x.mp4", "PATH=/nowhere");
    EXPECT_EQ(noFfmpeg.code, 1);
    EXPECT_NE(noFfmpeg.err.find("ffmpeg"), std::string::npos) << noFfmpeg.err;
    EXPECT_TRUE(Files().empty());
}

TEST(FlipToRgb, TopRowFirstWithoutAlpha) {
    // Two rows of two pixels, bottom row first as OpenGL reads them.
    const uint8_t rgba[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    uint8_t rgb[12];
    FlipToRgb(rgba, 2, 2, rgb);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 12),
              (std::vector<uint8_t>{9, 10, 11, 13, 14, 15, 1, 2, 3, 5, 6, 7}));
}

TEST(CaptureOptions, Defaults) {
    CaptureOptions still, video;
    std::string error;
    const char* stillArgs[] = {"still", "--time", "-2.5", "--output", "a.png"};
    ASSERT_TRUE(ParseCaptureOptions(5, stillArgs, still, error)) << error;
    EXPECT_EQ(still.time, -2.5);
    EXPECT_EQ(still.width, 1280);
    EXPECT_EQ(still.height, 720);
    EXPECT_FALSE(still.scene.has_value());
    EXPECT_FALSE(still.levels.has_value());
    const char* videoArgs[] = {"video", "--frames", "dir", "--levels", "1,2,3"};
    EXPECT_FALSE(ParseCaptureOptions(5, videoArgs, video, error)) << "levels are a still's";
    ASSERT_TRUE(ParseCaptureOptions(3, videoArgs, video, error)) << error;
    EXPECT_EQ(video.width, 1920);
    EXPECT_EQ(video.height, 1080);
    EXPECT_EQ(video.fps, 60);
    EXPECT_EQ(video.from, 0.0);
    EXPECT_FALSE(video.to.has_value());
}

}  // namespace
