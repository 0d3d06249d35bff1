// tesselune-capture: stills and videos of the show, drawn offscreen frame by frame.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/standard_streams.h"
#include "scenes/scene_schedule.h"
#include "tools/capture/flashes.h"
#include "tools/capture/options.h"
#include "tools/capture/png.h"
#include "tools/capture/show_renderer.h"
#include "tools/capture/time_left.h"
#include "tools/capture/video.h"
#include "tools/partial_file.h"

namespace {

constexpr int kUsage = 2, kFailure = 1;

int Fail(const std::string& message) {
    std::fprintf(stderr, "tesselune-capture: %s\n", message.c_str());
    return kFailure;
}

// A video's failure, or its stop by a signal, in which case the exit code is the shell's for the signal.
int FailVideo(const std::string& message) {
    const int signal = StopSignal();
    if (signal == 0) return Fail(message);
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    std::fprintf(stderr, "tesselune-capture: stopped by %s, nothing written\n", name);
    return 128 + signal;
}

// In the gentle mode, the frames of the few seconds before `from` (none before the start of the show) drawn
// at `fps` by `draw(time)`, so that the picture at `from` is the one the show draws there.
template <class Draw>
void StartGentle(ShowRenderer& renderer, double from, int fps, Draw&& draw) {
    renderer.BeGentle();
    for (auto k = static_cast<long>(std::min(from, kGentleWarmUp) * fps + 1e-9); k >= 1; --k)
        draw(from - static_cast<double>(k) / fps);
}

// The first moment drawn by a run whose first frame is at `from`.
double FirstDrawn(const CaptureOptions& options, double from) {
    return options.gentle ? std::min(from, std::max(from - kGentleWarmUp, 0.0)) : from;
}

int Still(const CaptureOptions& options) {
    RemovePartialFilesOnSignals();
    std::string error;
    // The output first: a folder it cannot be written in is found before the frame is drawn.
    const std::unique_ptr<PartialFile> output = PartialFile::Create(options.output, error);
    if (output == nullptr) return Fail(options.output + ": " + error);
    std::unique_ptr<ShowRenderer> renderer = ShowRenderer::Create(options.width, options.height, error);
    if (renderer == nullptr) return Fail(error);
    std::array<float, 3> levels = {0.0f, 0.0f, 0.0f};
    std::unique_ptr<TrackLevels> track;
    if (options.levels) {
        levels = *options.levels;
    } else if ((track = TrackLevels::Open(*options.track, error, FirstDrawn(options, options.time),
                                          options.time))) {
        levels = track->At(options.time);
    } else {
        std::fprintf(stderr, "tesselune-capture: %s; the levels are 0\n", error.c_str());
    }
    const auto draw = [&](double time) {
        const std::array<float, 3> levelsThen = track && time != options.time ? track->At(time) : levels;
        renderer->Draw(options.scene.value_or(ScheduledScene(time)), time, levelsThen);
    };
    if (options.gentle) StartGentle(*renderer, options.time, 60, draw);
    draw(options.time);
    std::vector<uint8_t> rgba(static_cast<size_t>(options.width) * options.height * 4);
    std::vector<uint8_t> rgb(static_cast<size_t>(options.width) * options.height * 3);
    renderer->Read(rgba.data());
    FlipToRgb(rgba.data(), options.width, options.height, rgb.data());
    return WritePng(*output, rgb.data(), options.width, options.height, error) ? 0 : Fail(error);
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The time left of the run `options` asks for, from one frame of every piece of its span, each drawn after a
// frame that builds its scene's program and timed once, or a few times over for the quick ones, whose single
// times are the noisiest. To be called before the gentle mode starts, whose picture follows the frames
// before it.
TimeLeft ProbeTimeLeft(ShowRenderer& renderer, const TrackLevels& track, const CaptureOptions& options) {
    std::vector<uint8_t> scratch(static_cast<size_t>(options.width) * options.height * 4);
    std::array<bool, kSceneCount> built{};
    const auto draw = [&](SceneId scene, double time) {
        renderer.Draw(scene, time, track.At(time));
        renderer.Read(scratch.data());
    };
    const auto probe = [&](double time) {
        const SceneId scene = ScheduledScene(time);
        if (!std::exchange(built[static_cast<size_t>(scene)], true)) draw(scene, time);
        const Clock::time_point start = Clock::now();
        int draws = 0;
        do {
            draw(scene, time);
        } while (++draws < 5 && SecondsSince(start) < 0.05 && StopSignal() == 0);
        return SecondsSince(start) / draws;
    };
    return TimeLeft(ProbeFrameCosts(options.from, options.fps, options.frames, probe));
}

// Frames done of the total, the rate and the time left: one line kept up to date on a terminal, else a plain
// line every few seconds.
class Progress {
public:
    Progress(int total, TimeLeft timeLeft)
        : total_(total), terminal_(isatty(STDERR_FILENO)), timeLeft_(std::move(timeLeft)) {}
    // A run that stops early ends its progress line, so that its last words stand on a line of their own.
    ~Progress() {
        if (open_) std::fputc('\n', stderr);
    }
    // One more frame done, drawn in `drawSeconds`, while a frame takes `writeSeconds` at the sink.
    void Done(int frames, double drawSeconds, double writeSeconds) {
        timeLeft_.Drawn(drawSeconds);
        if (!terminal_ && frames < total_ && SecondsSince(lastLine_) < 5.0) return;
        if (terminal_ && frames < total_ && SecondsSince(lastLine_) < 0.2) return;
        lastLine_ = Clock::now();
        const double fps = frames / std::max(SecondsSince(start_), 1e-9);
        const long left = std::lround(timeLeft_.Seconds(writeSeconds));
        std::fprintf(stderr, "%sframe %d of %d, %.1f frames/s, %ld:%02ld left%s", terminal_ ? "\r" : "",
                     frames, total_, fps, left / 60, left % 60, terminal_ && frames < total_ ? "" : "\n");
        open_ = terminal_ && frames < total_;
    }

private:
    int total_;
    bool terminal_, open_ = false;
    TimeLeft timeLeft_;
    Clock::time_point start_ = Clock::now(), lastLine_ = start_;
};

// Hands frames to the sink on a thread of its own, so that turning them into RGB and encoding or compressing
// them overlaps the drawing of the next frames. A few frame buffers circulate between the two threads.
class FrameWriter {
public:
    FrameWriter(FrameSink& sink, int width, int height)
        : sink_(sink), width_(width), height_(height), thread_([this] { Run(); }) {
        for (auto& buffer : buffers_) {
            buffer.resize(static_cast<size_t>(width) * height * 4);
            free_.push_back(&buffer);
        }
    }
    ~FrameWriter() { Close(); }

    // A buffer to read the next frame into; null once the sink has failed.
    std::vector<uint8_t>* Acquire() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty() || failed_; });
        if (failed_) return nullptr;
        std::vector<uint8_t>* buffer = free_.front();
        free_.pop_front();
        return buffer;
    }
    void Submit(std::vector<uint8_t>* frame) {
        std::lock_guard lock(mutex_);
        queued_.push_back(frame);
        changed_.notify_all();
    }
    // The seconds a frame has taken on average to be turned into RGB and handed to the sink.
    double WriteSeconds() {
        std::lock_guard lock(mutex_);
        return written_ > 0 ? writing_ / written_ : 0.0;
    }
    // Waits for every submitted frame to be written; false if one could not be.
    bool Close() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        return !failed_;
    }

private:
    void Run() {
        std::vector<uint8_t> rgb(static_cast<size_t>(width_) * height_ * 3);
        for (;;) {
            std::vector<uint8_t>* frame = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
                if (queued_.empty()) return;
                frame = queued_.front();
                queued_.pop_front();
            }
            const Clock::time_point start = Clock::now();
            FlipToRgb(frame->data(), width_, height_, rgb.data());
            const bool written = StopSignal() == 0 && sink_.Write(rgb.data());
            std::lock_guard lock(mutex_);
            writing_ += SecondsSince(start);
            ++written_;
            free_.push_back(frame);
            failed_ |= !written;
            changed_.notify_all();
            if (failed_) return;
        }
    }

    FrameSink& sink_;
    int width_, height_;
    std::vector<uint8_t> buffers_[3];
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>*> free_, queued_;
    bool closing_ = false, failed_ = false;
    double writing_ = 0.0;  // seconds spent on the frames written
    int written_ = 0;
    std::thread thread_;
};

int Video(const CaptureOptions& options) {
    CatchStopSignals();
    std::string error;
    std::unique_ptr<TrackLevels> track = TrackLevels::Open(
        *options.track, error, FirstDrawn(options, options.from), options.to.value_or(ShowSchedule().end));
    if (track == nullptr) return FailVideo(error);
    // The output first: what ffmpeg refuses is known before a frame is drawn.
    const VideoSpan span{options.width,
                         options.height,
                         options.fps,
                         options.from,
                         static_cast<double>(options.frames) / options.fps,
                         options.quality};
    std::unique_ptr<FrameSink> sink =
        StopSignal() != 0           ? nullptr
        : options.framesDir.empty() ? OpenVideo(options.output, *options.track, span, error)
                                    : OpenFrames(options.framesDir, options.width, options.height, error);
    if (sink == nullptr) return FailVideo(error);
    std::unique_ptr<ShowRenderer> renderer = ShowRenderer::Create(options.width, options.height, error);
    if (renderer == nullptr) {
        sink.reset();
        return FailVideo(error);
    }

    TimeLeft timeLeft = ProbeTimeLeft(*renderer, *track, options);

    const auto draw = [&](double time) { renderer->Draw(ScheduledScene(time), time, track->At(time)); };
    if (options.gentle) {
        StartGentle(*renderer, options.from, options.fps, [&](double time) {
            if (StopSignal() == 0) draw(time);  // a stop is answered below, before any frame is written
        });
    }
    bool written = false;
    {
        Progress progress(options.frames, std::move(timeLeft));
        FrameWriter writer(*sink, options.width, options.height);
        for (int n = 0; n < options.frames && StopSignal() == 0; ++n) {
            std::vector<uint8_t>* frame = writer.Acquire();
            if (frame == nullptr) break;
            const Clock::time_point start = Clock::now();
            const double time = options.from + static_cast<double>(n) / options.fps;
            draw(time);
            renderer->Read(frame->data());
            const double drawing = SecondsSince(start);
            writer.Submit(frame);
            progress.Done(n + 1, drawing, writer.WriteSeconds());
        }
        written = writer.Close() && StopSignal() == 0 && sink->Finish();
    }
    if (written) return 0;
    error = sink->Error();
    sink.reset();  // what was written goes before the line that says so
    return FailVideo(error);
}

// Draws the span small, reads each window of one second ending at each frame, and prints where they fail.
int Flashes(const CaptureOptions& options) {
    std::string error;
    std::unique_ptr<TrackLevels> track = TrackLevels::Open(
        *options.track, error, FirstDrawn(options, options.from), options.to.value_or(ShowSchedule().end));
    if (track == nullptr) return Fail(error);
    std::unique_ptr<ShowRenderer> renderer = ShowRenderer::Create(options.width, options.height, error);
    if (renderer == nullptr) return Fail(error);
    TimeLeft timeLeft = ProbeTimeLeft(*renderer, *track, options);
    const auto draw = [&](double time) { renderer->Draw(ScheduledScene(time), time, track->At(time)); };
    if (options.gentle) StartGentle(*renderer, options.from, options.fps, draw);
    FlashMeter meter(options.width, options.height, options.fps);
    FlashReport report(options.fps);
    std::vector<uint8_t> rgba(static_cast<size_t>(options.width) * options.height * 4);
    {
        Progress progress(options.frames, std::move(timeLeft));
        for (int n = 0; n < options.frames; ++n) {
            const Clock::time_point start = Clock::now();
            const double time = options.from + static_cast<double>(n) / options.fps;
            draw(time);
            renderer->Read(rgba.data());
            report.Add(time, kSceneNames[static_cast<int>(ScheduledScene(time))], meter.Add(rgba.data()));
            progress.Done(n + 1, SecondsSince(start), 0.0);
        }
    }
    std::fputs(report.Text().c_str(), stdout);
    return report.Failing() > 0 ? kFailure : 0;
}

}  // namespace

int main(int argc, char** argv) {
    OpenStandardStreams();
    CaptureOptions options;
    std::string error;
    if (argc < 2) {
        std::fputs(CaptureUsage().c_str(), stderr);
        return kUsage;
    }
    if (!ParseCaptureOptions(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "tesselune-capture: %s\n", error.c_str());
        return kUsage;
    }
    if (!options.answer.empty()) {
        std::fputs(options.answer.c_str(), stdout);
        return 0;
    }
    if (!options.track) {
        // As the show finds it: the working directory, else beside the program or in its install.
        std::error_code ignored;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ignored);
        options.track = FindTrack(program.empty() ? "" : program.parent_path().string() + "/");
    }
    switch (options.mode) {
        case CaptureOptions::Mode::Still:
            return Still(options);
        case CaptureOptions::Mode::Video:
            return Video(options);
        case CaptureOptions::Mode::Flashes:
            break;
    }
    return Flashes(options);
}
