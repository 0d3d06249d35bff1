// tesselune-bench: what a frame of each scene costs, Scene2 on each of its paths against the text it was
// first written as, what start-up costs, what the per-frame work outside the draw costs and what capture
// costs, and how much of the whole show flashes as it is and in the gentle mode, measured in one run and
// printed as one Markdown table.
//   tesselune-bench --work DIR --json FILE [--track FILE] [--frames N] [--show PROGRAM --probe PROBE]
//                   [--capture TOOL] [--capture-span FROM,TO] [--audio PROGRAM --monitor SOURCE]
// --show runs the real program under the X server DISPLAY names (black screen, 1344x784) through the probe
// tesselune-first-frame, then in a 1280x720 window through every slot of the schedule. The program's GL work
// runs with Mesa's shader cache off unless a row says otherwise.
// --audio runs tesselune-audio-bench on the sound server PULSE_SERVER names, a null sink with that monitor.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>

#include "platform/egl/headless_gl.h"
#include "platform/gl.h"
#include "platform/standard_streams.h"
#include "scenes/scene_schedule.h"
#include "tools/bench/audio_rows.h"
#include "tools/bench/process.h"
#include "tools/bench/report.h"
#include "tools/bench/runtime_bench.h"
#include "tools/bench/scene2_bench.h"
#include "tools/bench/scene_bench.h"
#include "tools/bench/show_rows.h"
#include "tools/capture/show_renderer.h"

namespace {

struct Options {
    std::string work, json, track, show, probe, capture, audio, monitor;
    int frames = 5;
    double captureFrom = 8.0, captureTo = 12.0;
};

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{640, 360}, {1280, 720}};
constexpr int kStartupRounds = 3, kFirstFrameRuns = 3, kRuntimeRepetitions = 5, kCaptureFps = 30;
constexpr Size kCaptureSize = {640, 360};
constexpr double kTourSlotSeconds = 2.5;  // each slot of the schedule in the show's tour

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "tesselune-bench: %s\n", message.c_str());
    std::exit(1);
}

void Progress(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::string Figure(double value, const char* unit) {
    return FormatFigure(value) + " " + unit;
}

std::string Percent(double part, double whole) {
    return FormatFigure(100.0 * part / whole) + " %";
}

// The options whose value is kept as it is given.
constexpr std::pair<const char*, std::string Options::*> kTextOptions[] = {
    {"--work", &Options::work},   {"--json", &Options::json},       {"--track", &Options::track},
    {"--show", &Options::show},   {"--probe", &Options::probe},     {"--capture", &Options::capture},
    {"--audio", &Options::audio}, {"--monitor", &Options::monitor},
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) Fail("no value after " + flag);
        const std::string value = argv[++i];
        const auto text = std::find_if(std::begin(kTextOptions), std::end(kTextOptions),
                                       [&](const auto& option) { return flag == option.first; });
        if (text != std::end(kTextOptions)) {
            options.*(text->second) = value;
        } else if (flag == "--frames") {
            options.frames = std::max(1, std::atoi(value.c_str()));
        } else if (flag == "--capture-span") {
            if (std::sscanf(value.c_str(), "%lf,%lf", &options.captureFrom, &options.captureTo) != 2 ||
                !(options.captureTo > options.captureFrom)) {
                Fail("--capture-span takes FROM,TO with TO after FROM");
            }
        } else {
            Fail("unknown option " + flag);
        }
    }
    if (options.work.empty() || options.json.empty()) Fail("--work DIR and --json FILE are needed");
    if (!options.show.empty() && options.probe.empty()) Fail("--show needs --probe");
    return options;
}

std::string Machine() {
    std::string model = "unknown CPU";
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    return std::to_string(std::thread::hardware_concurrency()) + " cores of " + model + ", shared";
}

// The 1, 5 and 15 minute load averages.
std::string LoadAverage() {
    const std::string load = ReadFile("/proc/loadavg");
    size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field) end = load.find(' ', end + 1);
    return load.substr(0, end);
}

// The frame of every scene at every size, on one context.
std::vector<BenchRow> SceneRows(const LevelsAt& levels, int frames, std::vector<double>& largeFrameMedians) {
    std::vector<BenchRow> rows;
    std::string error;
    std::unique_ptr<HeadlessGL> context =
        HeadlessGL::Create(kSizes[0].width, kSizes[0].height, HeadlessGL::Format::RGBA8, error);
    if (context == nullptr) Fail(error);
    std::vector<std::unique_ptr<SceneBase>> scenes;
    for (int i = 0; i < kSceneCount; ++i) {
        scenes.push_back(MakeScene(static_cast<SceneId>(i)));
        scenes.back()->Init();
    }
    largeFrameMedians.assign(kSceneCount, std::nan(""));
    for (const Size& size : kSizes) {
        if (!context->Resize(size.width, size.height)) Fail("cannot resize the headless framebuffer");
        for (int i = 0; i < kSceneCount; ++i) {
            const std::optional<double> shown = ShownAt(static_cast<SceneId>(i));
            const double time = shown.value_or(60.0);
            const FrameTimes times = TimeFrames(*scenes[i], size.width, size.height, time, levels, frames);
            const Summary s = Summarise(times.frames);
            const double megapixels = size.width * size.height / 1e6;
            rows.push_back({"frame " + std::to_string(size.width) + "x" + std::to_string(size.height),
                            std::string(kSceneNames[i]) + (shown ? " at " : " (never shown) at ") +
                                FormatFigure(time) + " s",
                            s.median * 1e3, s.min * 1e3, "ms",
                            Figure(megapixels / s.median, "Mpixel/s") + "; warm-up frame " +
                                Figure(times.firstDraw * 1e3, "ms")});
            if (size.width == kSizes[1].width && shown) largeFrameMedians[i] = s.median;
            Progress("  " + rows.back().benchmark + " " + rows.back().subject + ": " +
                     Figure(s.median * 1e3, "ms"));
        }
    }
    return rows;
}

// Every scene's program built in the show's order, each round on a context of its own.
std::vector<BenchRow> ProgramBuildRows() {
    std::vector<std::vector<double>> perScene(kSceneCount);
    std::vector<double> totals;
    for (int round = 0; round < kStartupRounds; ++round) {
        std::string error;
        std::unique_ptr<HeadlessGL> context = HeadlessGL::Create(1, 1, HeadlessGL::Format::RGBA8, error);
        if (context == nullptr) Fail(error);
        const std::array<double, kSceneCount> seconds = TimeProgramBuilds();
        double total = 0.0;
        for (int i = 0; i < kSceneCount; ++i) {
            perScene[i].push_back(seconds[i]);
            total += seconds[i];
        }
        totals.push_back(total);
        Progress("  round " + std::to_string(round + 1) + ": " + Figure(total * 1e3, "ms"));
    }
    const Summary all = Summarise(totals);
    std::vector<BenchRow> rows;
    rows.push_back({"program build", "all " + std::to_string(kSceneCount) + ", in the show's order",
                    all.median * 1e3, all.min * 1e3, "ms",
                    std::to_string(kStartupRounds) + " rounds, shader cache off"});
    for (int i = 0; i < kSceneCount; ++i) {
        const Summary s = Summarise(perScene[i]);
        rows.push_back({"program build", kSceneNames[i], s.median * 1e3, s.min * 1e3, "ms",
                        Percent(s.median, all.median) + " of them all"});
    }
    return rows;
}

// Seconds from the start of the show to its first frame on the screen, or the probe's complaint.
std::optional<double> FirstFrame(const Options& options, const EnvChanges& cache, std::string& error) {
    const std::filesystem::path show = std::filesystem::absolute(options.show);
    ChildSetup setup{cache, show.parent_path().string(), options.work + "/probe.out",
                     options.work + "/probe.err"};
    setup.env.push_back({"SDL_AUDIODRIVER", "dummy"});
    const ProcessResult result = RunProcess({options.probe, "120", show.string()}, setup);
    double seconds = 0.0;
    if (result.exitCode == 0 && std::sscanf(ReadFile(setup.stdoutPath).c_str(), "%lf", &seconds) == 1) {
        return seconds;
    }
    error = result.error.empty() ? ReadFile(setup.stderrPath) : result.error;
    error.erase(std::remove(error.begin(), error.end(), '\n'), error.end());
    return std::nullopt;
}

std::vector<BenchRow> FirstFrameRows(const Options& options) {
    const std::string track = std::filesystem::path(options.show).parent_path() / kTrackPath;
    const std::string how = std::string(std::filesystem::exists(track) ? "with" : "without") +
                            " the track; first non-black client pixels after an X DAMAGE event";
    const std::string cacheDir = std::filesystem::absolute(options.work + "/mesa-cache").string();
    std::vector<BenchRow> rows;
    for (const bool warm : {false, true}) {
        std::vector<double> runs;
        std::string error;
        for (int run = 0; run < kFirstFrameRuns; ++run) {
            if (!warm) std::filesystem::remove_all(cacheDir);
            const std::optional<double> seconds = FirstFrame(
                options, {{"MESA_SHADER_CACHE_DISABLE", std::nullopt}, {"MESA_SHADER_CACHE_DIR", cacheDir}},
                error);
            if (seconds) runs.push_back(*seconds);
            Progress(std::string("  ") + (warm ? "warm" : "cold") + " cache, run " + std::to_string(run + 1) +
                     ": " + (seconds ? Figure(*seconds * 1e3, "ms") : error));
        }
        const Summary s = Summarise(runs);
        rows.push_back(
            {"process start to first frame",
             warm ? "shader cache filled by an earlier run" : "empty shader cache", s.median * 1e3,
             s.min * 1e3, "ms",
             std::to_string(runs.size()) + " runs under Xvfb, " + how + (error.empty() ? "" : "; " + error)});
    }
    return rows;
}

std::vector<BenchRow> RuntimeRows(const std::vector<double>& largeFrameMedians) {
    std::string error;
    std::unique_ptr<HeadlessGL> context = HeadlessGL::Create(1, 1, HeadlessGL::Format::RGBA8, error);
    if (context == nullptr) Fail(error);
    int cheapest = -1;
    for (int i = 0; i < kSceneCount; ++i) {
        if (!std::isnan(largeFrameMedians[i]) &&
            (cheapest < 0 || largeFrameMedians[i] < largeFrameMedians[cheapest])) {
            cheapest = i;
        }
    }
    std::vector<BenchRow> rows;
    for (const RuntimeFigure& figure : RunRuntimeBenchmarks(kRuntimeRepetitions)) {
        const double seconds = figure.nanoseconds.median * 1e-9;
        std::string derived = Percent(seconds, 1.0 / 60.0) + " of 16.7 ms (60 Hz)";
        if (cheapest >= 0) {
            derived += ", " + Percent(seconds, largeFrameMedians[cheapest]) + " of " + kSceneNames[cheapest] +
                       " at 1280x720 (the cheapest frame shown)";
        }
        rows.push_back({"per frame, outside the draw", figure.name, figure.nanoseconds.median * 1e-3,
                        figure.nanoseconds.min * 1e-3, "µs", derived});
    }
    return rows;
}

// The capture tool's frames against the same frames drawn here, without and with reading them back.
std::vector<BenchRow> CaptureRows(const Options& options, const LevelsAt& levels) {
    const int frames =
        static_cast<int>(std::ceil((options.captureTo - options.captureFrom) * kCaptureFps - 1e-9));
    const std::string size = std::to_string(kCaptureSize.width) + "x" + std::to_string(kCaptureSize.height);
    const std::string span = FormatFigure(options.captureFrom) + "–" + FormatFigure(options.captureTo) +
                             " s, " + std::to_string(frames) + " frames";
    const auto drawn = [&](bool read) {
        std::string error;
        std::unique_ptr<ShowRenderer> renderer =
            ShowRenderer::Create(kCaptureSize.width, kCaptureSize.height, error);
        if (renderer == nullptr) Fail(error);
        std::vector<uint8_t> rgba(static_cast<size_t>(kCaptureSize.width) * kCaptureSize.height * 4);
        const Clock::time_point start = Clock::now();
        for (int n = 0; n < frames; ++n) {
            const double time = options.captureFrom + static_cast<double>(n) / kCaptureFps;
            renderer->Draw(ScheduledScene(time), time, levels(time));
            read ? renderer->Read(rgba.data()) : glFinish();
        }
        return frames / std::chrono::duration<double>(Clock::now() - start).count();
    };
    const auto captured = [&](double to) {
        char from[32], end[32];
        std::snprintf(from, sizeof from, "%.6f", options.captureFrom);
        std::snprintf(end, sizeof end, "%.6f", to);
        const ProcessResult result = RunProcess(
            {options.capture, "video", "--size", size, "--fps", std::to_string(kCaptureFps), "--from", from,
             "--to", end, "--output", options.work + "/capture.mp4", "--track", options.track},
            {{}, "", "", options.work + "/capture.err"});
        if (result.exitCode != 0) Fail("the capture tool failed: " + ReadFile(options.work + "/capture.err"));
        return result.seconds;
    };
    Progress("  drawing only");
    const double drawOnly = drawn(false);
    Progress("  drawing and reading back");
    const double drawRead = drawn(true);
    Progress("  tesselune-capture, one frame");
    const double fixed = captured(options.captureFrom + 0.5 / kCaptureFps);
    Progress("  tesselune-capture, " + span);
    const double whole = captured(options.captureTo);
    const double steady = (frames - 1) / (whole - fixed);
    const std::string benchmark = "capture " + size + " at " + std::to_string(kCaptureFps) + " fps";
    const auto ratio = [drawOnly](double fps) { return FormatFigure(fps / drawOnly) + " × drawing only"; };
    return {
        {benchmark, "drawing only (glFinish), " + span, drawOnly, std::nan(""), "frames/s", ""},
        {benchmark, "drawing and reading back, no saving", drawRead, std::nan(""), "frames/s",
         ratio(drawRead)},
        {benchmark, "tesselune-capture video, whole process", frames / whole, std::nan(""), "frames/s",
         ratio(frames / whole)},
        {benchmark, "tesselune-capture video, less its one-frame run (" + Figure(fixed, "s") + ")", steady,
         std::nan(""), "frames/s", ratio(steady)},
    };
}

// The three-flashes rule read over the whole show by the capture tool, as the show is and in its gentle mode:
// the windows that fail, the seconds of the show they cover and the most that flashes.
std::vector<BenchRow> FlashRows(const Options& options) {
    std::vector<BenchRow> rows;
    for (const bool gentle : {false, true}) {
        std::vector<std::string> argv = {options.capture, "flashes", "--track", options.track};
        if (gentle) argv.push_back("--gentle");
        const std::string out = options.work + "/flashes.txt";
        const ProcessResult result = RunProcess(argv, {{}, "", out, options.work + "/flashes.err"});
        const std::string text = ReadFile(out);
        const size_t last = text.rfind('\n', text.size() - 2);
        const std::string summary = text.substr(last == std::string::npos ? 0 : last + 1);
        int failing = 0, windows = 0, frameFailing = 0;
        double seconds = 0.0;
        if (result.exitCode > 1 || result.exitCode < 0 ||
            std::sscanf(summary.c_str(), "%d of %d one-second windows fail (%d on the whole frame), %lf s",
                        &failing, &windows, &frameFailing, &seconds) != 4) {
            Fail("tesselune-capture flashes failed: " + ReadFile(options.work + "/flashes.err"));
        }
        const size_t most = summary.find("at most ");
        rows.push_back({"flashes, whole show at 96x54, 60 fps", gentle ? "gentle mode" : "as the show is",
                        static_cast<double>(failing), std::nan(""), "windows failing",
                        "of " + std::to_string(windows) + " (" + std::to_string(frameFailing) +
                            " on the whole frame), " + FormatFigure(seconds) + " s of the show; " +
                            summary.substr(most + 8, summary.find_last_not_of('\n') - most - 7) + "; " +
                            Figure(result.seconds, "s") + " to measure"});
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    OpenStandardStreams();
    const Options options = ParseOptions(argc, argv);
    std::filesystem::create_directories(options.work);
    // Every program is compiled afresh, as on a first run, rather than taken from earlier runs' cache.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);

    BenchReport report;
    report.machine = Machine();
    const std::string loadBefore = LoadAverage();
    std::unique_ptr<TrackLevels> track;
    if (!options.track.empty()) {
        std::string error;
        track = TrackLevels::Open(options.track, error);
        if (track == nullptr) Fail(error);
    }
    const LevelsAt levels = [&track](double time) {
        return track ? track->At(time) : std::array<float, 3>{0.0f, 0.0f, 0.0f};
    };

    Progress("program builds");
    std::vector<BenchRow> startup = ProgramBuildRows();
    if (!options.show.empty()) {
        Progress("process start to first frame");
        for (BenchRow& row : FirstFrameRows(options)) startup.push_back(std::move(row));
    }
    Progress("scene frames");
    std::vector<double> largeFrameMedians;
    report.rows = SceneRows(levels, options.frames, largeFrameMedians);
    Progress("Scene2 on each path");
    for (BenchRow& row : Scene2Rows(levels, options.frames)) report.rows.push_back(std::move(row));
    {
        std::string error;
        std::unique_ptr<HeadlessGL> context = HeadlessGL::Create(1, 1, HeadlessGL::Format::RGBA8, error);
        if (context == nullptr) Fail(error);
        report.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    }
    report.rows.insert(report.rows.end(), startup.begin(), startup.end());
    Progress("per-frame work outside the draw");
    for (BenchRow& row : RuntimeRows(largeFrameMedians)) report.rows.push_back(std::move(row));
    if (!options.show.empty()) {
        Progress("the show in a window, slot by slot");
        for (BenchRow& row : ShowRows(options.show, options.work, kTourSlotSeconds)) {
            report.rows.push_back(std::move(row));
        }
    }
    if (!options.audio.empty()) {
        if (options.track.empty() || options.monitor.empty()) Fail("--audio needs --track and --monitor");
        Progress("audio on the null sink");
        for (BenchRow& row : AudioRows(options.audio, options.work, options.track, options.monitor)) {
            report.rows.push_back(std::move(row));
        }
    }
    if (!options.capture.empty()) {
        if (options.track.empty()) Fail("--capture needs --track");
        Progress("capture");
        for (BenchRow& row : CaptureRows(options, levels)) report.rows.push_back(std::move(row));
        Progress("flashes over the whole show");
        for (BenchRow& row : FlashRows(options)) report.rows.push_back(std::move(row));
    }
    report.machine += "; load average " + loadBefore + " at the start, " + LoadAverage() + " at the end";

    std::ofstream(options.json) << Json(report);
    std::fputs(Markdown(report).c_str(), stdout);
    return 0;
}
