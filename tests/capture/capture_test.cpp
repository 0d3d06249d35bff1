// The capture tool as a user runs it: stills, videos, and its refusals.
#include <gtest/gtest.h>
#include <png.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/capture/options.h"
#include "tools/capture/show_renderer.h"
#include "tools/capture/time_left.h"

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
    // What ffprobe says of show.mp4 with the given options, one key=value a line; empty when it fails.
    std::string Probe(const std::string& options) {
        const fs::path probe = dir_ / "probe.txt";
        const std::string command = "ffprobe -v error " + options + " -of default=noprint_wrappers=1 '" +
                                    (dir_ / "show.mp4").string() + "' >'" + probe.string() + "'";
        return std::system(command.c_str()) == 0 ? ReadFile(probe) : std::string();
    }
    // Waits until the partial file of `output` holds at least `bytes` bytes.
    void AwaitPartial(const std::string& output, uintmax_t bytes) {
        const int watch = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(watch, dir_.c_str(), IN_CREATE | IN_MODIFY);
        const auto size = [&]() -> std::optional<uintmax_t> {
            for (const auto& entry : fs::directory_iterator(dir_)) {
                std::error_code gone;
                const uintmax_t size = entry.file_size(gone);
                if (entry.path().filename().string().rfind(output + ".part", 0) == 0 && !gone) return size;
            }
            return std::nullopt;
        };
        for (pollfd ready{watch, POLLIN, 0}; size().value_or(0) < bytes || !size();) {
            ASSERT_EQ(poll(&ready, 1, 60000), 1) << "no " << output << " under way";
            char events[4096];
            ASSERT_GT(read(watch, events, sizeof events), 0);
        }
        close(watch);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
        std::erase(names, "stderr.txt");
        std::erase(names, "track.wav");
        std::erase(names, "probe.txt");
        std::sort(names.begin(), names.end());
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

TEST_F(CaptureTool, GentleStillsStartBeforeTheirMomentAsAVideoDoes) {
    MakeTrack(6.0);
    const std::string common = " --size 48x27 --track track.wav --gentle";
    ASSERT_EQ(Capture("still --time 3.25 --output a.png" + common).code, 0);
    const Outcome video = Capture("video --fps 60 --from 3.25 --to 3.26 --frames frames" + common);
    ASSERT_EQ(video.code, 0) << video.err;
    EXPECT_EQ(ReadFile(dir_ / "a.png"), ReadFile(dir_ / "frames/frame_000000.png"));
    // The first picture of a run is the scene's own; the cut at 16/3 s is eased over many frames.
    ASSERT_EQ(Capture("still --time 0 --output b.png" + common).code, 0);
    ASSERT_EQ(Capture("still --time 0 --output c.png --size 48x27 --track track.wav").code, 0);
    EXPECT_EQ(ReadFile(dir_ / "b.png"), ReadFile(dir_ / "c.png"));
    ASSERT_EQ(Capture("still --time 5.36 --output d.png" + common).code, 0);
    ASSERT_EQ(Capture("still --time 5.36 --output e.png --size 48x27 --track track.wav").code, 0);
    EXPECT_NE(ReadFile(dir_ / "d.png"), ReadFile(dir_ / "e.png"));
    const Image white = Still("--time 5.34 --scene Scenew --levels 0,0,0 --size 48x27 --gentle");
    for (uint8_t v : white.rgb) ASSERT_EQ(v, 255) << "a constant picture stays as it is";
}

// The spans of the show that flash most: as the show is, they fail the rule; in the gentle mode they pass.
TEST_F(CaptureTool, GentleModePassesTheFlashRuleWhereTheShowFails) {
    for (const char* span : {"--from 45 --to 50", "--from 88 --to 92", "--from 99 --to 102"}) {
        const std::string args = std::string("flashes --track '" SHOW_TRACK "' ") + span + " >flashes.txt";
        const Outcome shown = Capture(args);
        EXPECT_EQ(shown.code, 1) << span << "\n" << shown.err;
        EXPECT_NE(ReadFile(dir_ / "flashes.txt").find("general flash over"), std::string::npos) << span;
        const Outcome gentle = Capture(args + " --gentle");
        EXPECT_EQ(gentle.code, 0) << span << "\n" << gentle.err << ReadFile(dir_ / "flashes.txt");
        EXPECT_EQ(ReadFile(dir_ / "flashes.txt").rfind("0 of ", 0), 0u) << ReadFile(dir_ / "flashes.txt");
    }
}

TEST_F(CaptureTool, ShortVideoHasItsFramesDurationAndSound) {
    MakeTrack(2.0);
    // The second span lies past the end of the track: its sound is silence.
    for (const std::string span : {"--to 0.5", "--from 5 --to 5.5"}) {
        const Outcome run = Capture("video --size 64x36 --fps 8 --track track.wav --output show.mp4 " + span);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.err.find("frame 4 of 4"), std::string::npos) << run.err;
        const std::string info = Probe(
            "-show_entries stream=codec_type,codec_name,nb_frames,width,height,duration -show_entries "
            "format=duration");
        EXPECT_NE(info.find("codec_name=h264"), std::string::npos) << info;
        EXPECT_NE(info.find("width=64\nheight=36"), std::string::npos) << info;
        EXPECT_NE(info.find("nb_frames=4"), std::string::npos) << info;
        EXPECT_NE(info.find("codec_type=audio"), std::string::npos) << span << "\n" << info;
        // The video's, the sound's and the file's.
        int durations = 0;
        for (size_t at = 0; (at = info.find("duration=", at)) != std::string::npos; at += 9, ++durations)
            EXPECT_NEAR(std::atof(info.c_str() + at + 9), 0.5, 0.05) << span << "\n" << info;
        EXPECT_EQ(durations, 3) << span << "\n" << info;
        EXPECT_EQ(Files(), std::vector<std::string>{"show.mp4"}) << "nothing left beside the video";
    }
}

// The top-level boxes of an MP4 file, in order.
std::vector<std::string> Mp4Boxes(const std::string& file) {
    std::vector<std::string> boxes;
    for (size_t at = 0; at + 8 <= file.size();) {
        uint64_t size = 0;
        for (int i = 0; i < 4; ++i) size = size << 8 | static_cast<uint8_t>(file[at + i]);
        boxes.push_back(file.substr(at + 4, 4));
        if (size == 1 && at + 16 <= file.size()) {  // a 64-bit size follows the type
            size = 0;
            for (int i = 8; i < 16; ++i) size = size << 8 | static_cast<uint8_t>(file[at + i]);
        }
        if (size < 8) break;
        at += size;
    }
    return boxes;
}

// Players decode HD video as BT.709 in limited range: the video says so, and a frame decoded as it says has
// the still's colours, off by the encoder's noise but not shifted (the BT.601 matrix shifts Scene8's green by
// 8).
TEST_F(CaptureTool, VideoColoursAreTaggedBt709AndMatchTheStill) {
    MakeTrack(81.0);
    for (const auto& [scene, time] : {std::pair{"Scene8", "80"}, {"Scene2", "25"}}) {
        SCOPED_TRACE(scene);
        const Outcome video = Capture(std::string("video --from ") + time + " --to " + time +
                                      ".01 --track track.wav --output show.mp4");
        ASSERT_EQ(video.code, 0) << video.err;
        const std::string mp4 = ReadFile(dir_ / "show.mp4");
        const std::vector<std::string> boxes = Mp4Boxes(mp4);
        const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
        EXPECT_LT(moov, std::find(boxes.begin(), boxes.end(), "mdat")) << "the index before the media";
        const std::string tags = Probe(
            "-select_streams v -show_entries stream=color_space,color_primaries,color_transfer,color_range");
        EXPECT_EQ(tags, "color_range=tv\ncolor_space=bt709\ncolor_transfer=bt709\ncolor_primaries=bt709\n");
        // Decoded with the matrix and range the tags name.
        const auto tag = [&](const std::string& name) {
            const size_t at = tags.find(name + "=");
            return at == std::string::npos
                       ? std::string()
                       : tags.substr(at + name.size() + 1, tags.find('\n', at) - at - name.size() - 1);
        };
        ASSERT_EQ(std::system(("ffmpeg -nostdin -y -v error -i '" + (dir_ / "show.mp4").string() +
                               "' -frames:v 1 -vf scale=in_color_matrix=" + tag("color_space") +
                               ":in_range=" + tag("color_range") +
                               ":flags=accurate_rnd+full_chroma_int -pix_fmt rgb24 -f rawvideo '" +
                               (dir_ / "frame.rgb").string() + "'")
                                  .c_str()),
                  0);
        const std::string frame = ReadFile(dir_ / "frame.rgb");
        const Image still = Still(std::string("--size 1920x1080 --track track.wav --time ") + time);
        ASSERT_EQ(frame.size(), still.rgb.size());
        double bias[3] = {}, off[3] = {};
        for (size_t i = 0; i < frame.size(); ++i) {
            const int d = static_cast<uint8_t>(frame[i]) - still.rgb[i];
            bias[i % 3] += d;
            off[i % 3] += std::abs(d);
        }
        const double pixels = static_cast<double>(frame.size() / 3);
        for (int c = 0; c < 3; ++c) {
            EXPECT_LT(std::abs(bias[c] / pixels), 1.0) << "channel " << c;
            EXPECT_LT(off[c] / pixels, 3.0) << "channel " << c;
        }
    }
}

TEST_F(CaptureTool, ErrorsSayWhatIsWrongAndLeaveNothingBehind) {
    MakeTrack(1.0);
    const struct {
        std::string args;
        int code;
        std::string says;
    } cases[] = {
        {"still --time 1 --scene NoScene --output x.png", 2, "a scene name (Sceneb, Scenew, Scene0,"},
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
        {"video --quality best --output x.mp4", 2, "--quality"},
        {"video --track track.wav", 2, "--output"},
        {"dance", 2, "dance"},
        {"flashes --output x.png", 2, "--output"},
        {"flashes --size 64x36", 2, "--size"},
        {"flashes --gentle --to 0.1 --track missing.wav", 1, "missing.wav"},
        {"still --time 1 --size 100000x10 --output x.png", 1, "100000x10"},
        {"video --size 64x36 --to 0.1 --track missing.wav --output x.mp4", 1, "missing.wav"},
        {"video --size 64x36 --to 0.1 --track track.wav --output no/such/dir/x.mp4", 1,
         "No such file or directory"},
        // Beyond what times and frame counts can be.
        {"still --time 1e300 --output x.png", 2, "--time"},
        {"video --to 3e6 --fps 1000 --output x.mp4", 2, "frames"},
        // Refused by ffmpeg, which says why, before a frame is drawn.
        {"video --size 16384x16384 --to 0.1 --track track.wav --output x.mp4", 1, "is invalid"},
        {"video --size 64x36 --to 0.1 --track track.wav --frames no/such/frames", 1, "no/such/frames"},
        // The output is made before anything is drawn or tried: its folder is named first.
        {"still --time 1 --size 100000x10 --output no/such/dir/x.png", 1, "no/such/dir/x.png: No such file"},
        {"video --size 16384x16384 --to 0.1 --track track.wav --output no/such/dir/x.mp4", 1,
         "no/such/dir/x.mp4: No such file"},
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

    // A full disk (a file size limit here), for ffmpeg and for the frames.
    const std::string fullDisk = "ulimit -f 16 && trap '' XFSZ &&";
    const Outcome fullVideo =
        Capture("video --size 64x36 --fps 8 --to 1 --track track.wav --output x.mp4", fullDisk);
    EXPECT_EQ(fullVideo.code, 1);
    EXPECT_NE(fullVideo.err.find("File too large"), std::string::npos) << fullVideo.err;
    EXPECT_EQ(ProblemLines(fullVideo.err), 1) << fullVideo.err;
    EXPECT_TRUE(Files().empty());

    // A rerun of --frames: a failed one keeps the earlier frames, a good one replaces them; other files stay.
    const std::string frames = "video --size 320x180 --fps 8 --track track.wav --frames frames --to ";
    ASSERT_EQ(Capture(frames + "0.5").code, 0);
    std::ofstream(dir_ / "frames/notes.txt") << "mine";
    const auto folder = [&] {
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir_ / "frames"))
            files.push_back(entry.path().filename().string() + ":" + ReadFile(entry.path()));
        std::sort(files.begin(), files.end());
        return files;
    };
    const std::vector<std::string> before = folder();
    ASSERT_EQ(before.size(), 5u);
    const Outcome fullFrames = Capture(frames + "0.75 --from 0.1", fullDisk);
    EXPECT_EQ(fullFrames.code, 1);
    EXPECT_NE(fullFrames.err.find("Write Error"), std::string::npos) << "libpng's words\n" << fullFrames.err;
    EXPECT_NE(fullFrames.err.find("frames/frame_000000.png: "), std::string::npos) << fullFrames.err;
    EXPECT_NE(fullFrames.err.find("File too large"), std::string::npos) << fullFrames.err;
    EXPECT_EQ(ProblemLines(fullFrames.err), 1) << fullFrames.err;
    EXPECT_EQ(folder(), before);
    EXPECT_EQ(Files(), std::vector<std::string>{"frames"});
    ASSERT_EQ(Capture(frames + "0.25 --from 0.1").code, 0);
    const std::vector<std::string> after = folder();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0].substr(0, 17), "frame_000000.png:");
    EXPECT_NE(after[0], before[0]) << "frame 0 of the second run is at 0.1 s";
    EXPECT_EQ(after[1].substr(0, 17), "frame_000001.png:");
    EXPECT_EQ(after[2], "notes.txt:mine");
    EXPECT_EQ(Files(), std::vector<std::string>{"frames"});
    fs::remove_all(dir_ / "frames");

    // Names that look like an option or another protocol are files.
    fs::copy_file(dir_ / "track.wav", dir_ / "pipe:0");
    const Outcome names = Capture("video --size 64x36 --fps 8 --to 0.5 --track pipe:0 --output -x.mp4");
    EXPECT_EQ(names.code, 0) << names.err;
    EXPECT_EQ(Files(), (std::vector<std::string>{"-x.mp4", "pipe:0"})) << names.err;

    // Files under the names partial outputs once had are the user's: a failed run and a finished one leave
    // them as they are.
    for (const char* name : {"x.mp4.part", "x.png.part"}) std::ofstream(dir_ / name) << "precious";
    EXPECT_EQ(Capture("video --size 64x36 --fps 8 --to 1 --track track.wav --output x.mp4", fullDisk).code,
              1);
    EXPECT_EQ(Capture("video --size 64x36 --fps 8 --to 0.25 --track track.wav --output x.mp4").code, 0);
    EXPECT_EQ(Capture("still --time 1 --size 64x36 --output x.png").code, 0);
    EXPECT_EQ(ReadFile(dir_ / "x.mp4.part"), "precious");
    EXPECT_EQ(ReadFile(dir_ / "x.png.part"), "precious");
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"-x.mp4", "pipe:0", "x.mp4", "x.mp4.part", "x.png", "x.png.part"}));
}

// A signal mid-video stops ffmpeg and leaves nothing, with the shell's exit code for it.
TEST_F(CaptureTool, SignalsMidVideoLeaveNothing) {
    MakeTrack(1.0);
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
        const fs::path err = dir_ / "stderr.txt";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(dir_.c_str()) != 0 || !std::freopen(err.c_str(), "w", stderr)) _exit(99);
            execl(CAPTURE_TOOL, CAPTURE_TOOL, "video", "--size", "64x36", "--fps", "1000", "--to", "200",
                  "--track", "track.wav", "--output", "x.mp4", nullptr);
            _exit(98);
        }
        // Under way once ffmpeg has written the start of the video.
        AwaitPartial("x.mp4", 1);
        kill(pid, signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code) << signal << ": " << status;
        const std::string said = ReadFile(err);
        EXPECT_NE(said.find("stopped by SIG"), std::string::npos) << said;
        EXPECT_EQ(ProblemLines(said), 1) << said;
        EXPECT_TRUE(Files().empty()) << signal;
        // ffmpeg, which works in this folder, has ended too.
        for (const auto& process : fs::directory_iterator("/proc")) {
            std::error_code gone;
            EXPECT_NE(fs::read_symlink(process.path() / "cwd", gone), dir_) << process.path();
        }
    }

    // A still made at a size that takes a while to draw, stopped once its output is under way.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(dir_.c_str()) != 0 || !std::freopen("/dev/null", "w", stderr)) _exit(99);
        execl(CAPTURE_TOOL, CAPTURE_TOOL, "still", "--time", "70", "--size", "4096x4096", "--levels", "1,1,1",
              "--output", "x.png", nullptr);
        _exit(98);
    }
    AwaitPartial("x.png", 0);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(Files().empty());
}

// The levels late in a long track, as a still takes them: the same as those of the whole decoding, from
// memory that holds their window only (the decoded 115 s before it would take 40 MB).
TEST_F(CaptureTool, LevelsLateInALongTrackKeepOnlyTheirWindow) {
    MakeTrack(120.0);
    const std::string track = (dir_ / "track.wav").string();
    const auto peakKb = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6));
        }
        return -1ll;
    };
    std::string error;
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long long before = peakKb();
    const std::unique_ptr<TrackLevels> late = TrackLevels::Open(track, error, 115.0, 115.0);
    ASSERT_NE(late, nullptr) << error;
    EXPECT_LT(peakKb() - before, 8 * 1024) << "kB above what the process held before";
    const std::unique_ptr<TrackLevels> whole = TrackLevels::Open(track, error);
    ASSERT_NE(whole, nullptr) << error;
    EXPECT_EQ(late->At(115.0), whole->At(115.0));
    EXPECT_NE(late->At(115.0), (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
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
    EXPECT_FALSE(video.gentle);
    CaptureOptions flashes;
    const char* flashesArgs[] = {"flashes", "--gentle", "--to", "3"};
    ASSERT_TRUE(ParseCaptureOptions(4, flashesArgs, flashes, error)) << error;
    EXPECT_EQ(flashes.mode, CaptureOptions::Mode::Flashes);
    EXPECT_TRUE(flashes.gentle);
    EXPECT_EQ(flashes.width, 96);
    EXPECT_EQ(flashes.height, 54);
    EXPECT_EQ(flashes.fps, 60);
    EXPECT_EQ(flashes.frames, 180);
    EXPECT_EQ(video.quality, VideoQuality::Release) << "full size";
    // A small video is a preview unless told otherwise.
    const char* smallArgs[] = {"video", "--frames", "dir", "--size", "640x360", "--quality", "release"};
    ASSERT_TRUE(ParseCaptureOptions(5, smallArgs, video, error)) << error;
    EXPECT_EQ(video.quality, VideoQuality::Preview);
    ASSERT_TRUE(ParseCaptureOptions(7, smallArgs, video, error)) << error;
    EXPECT_EQ(video.quality, VideoQuality::Release);
}

// The time left follows what the frames ahead cost, not the rate so far: a cheap start does not make a heavy
// end look short.
TEST(TimeLeft, WeighsTheFramesAheadByTheirProbes) {
    // At 10 frames/s from 4.9 s: the schedule changes scene at 5.333 s, which is also where bar 2 begins:
    // frames 0-4, then 5-7.
    std::vector<double> probed;
    const std::vector<double> costs = ProbeFrameCosts(4.9, 10, 8, [&](double time) {
        probed.push_back(time);
        return time < 5.333 ? 0.1 : 1.0;
    });
    EXPECT_EQ(costs, (std::vector<double>{0.1, 0.1, 0.1, 0.1, 0.1, 1.0, 1.0, 1.0}));
    ASSERT_EQ(probed.size(), 2u) << "one probe a piece";
    EXPECT_NEAR(probed[0], 5.1, 1e-9) << "the middle frame";
    EXPECT_NEAR(probed[1], 5.5, 1e-9);
    EXPECT_EQ(ProbeFrameCosts(7.9, 10, 3, [](double) { return 1.0; }).size(), 3u);
    int bars = 0;
    ProbeFrameCosts(7.9, 10, 3, [&](double) { return ++bars; });
    EXPECT_EQ(bars, 2) << "a new bar at 8 s is a new piece";

    TimeLeft left(costs);
    EXPECT_NEAR(left.Seconds(0.0), 3.5, 1e-9) << "before any frame, the probes as they are";
    // The first frames drew twice as slowly as probed: the rest will too.
    for (int n = 0; n < 5; ++n) left.Drawn(0.2);
    EXPECT_NEAR(left.Seconds(0.0), 6.0, 1e-9);
    // A sink slower than the drawing sets the pace of the frames that draw faster than it.
    EXPECT_NEAR(left.Seconds(2.5), 7.5, 1e-9);
    // The pace of the last 30 s of drawing: the machine got three times slower.
    TimeLeft loaded(std::vector<double>(100, 1.0));
    for (int n = 0; n < 50; ++n) loaded.Drawn(n < 20 ? 1.0 : 3.0);
    EXPECT_NEAR(loaded.Seconds(0.0), 150.0, 1e-9);
    for (int n = 50; n < 100; ++n) loaded.Drawn(1.0);
    EXPECT_EQ(loaded.Seconds(0.0), 0.0);
}

}  // namespace
