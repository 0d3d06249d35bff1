#include "tools/capture/video.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tools/capture/png.h"
#include "tools/partial_file.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Set by the signal handler, read by the threads of the run.
volatile std::sig_atomic_t stopSignal = 0;

void NoteStopSignal(int signal) {
    stopSignal = signal;
}

// Everything ffmpeg wrote on its standard error.
std::string ReadLog(FILE* log) {
    std::string text;
    if (log == nullptr) return text;
    std::rewind(log);
    for (int c; (c = std::fgetc(log)) != EOF;) text += static_cast<char>(c);
    return text;
}

// The one line that says why ffmpeg failed, from its log: the first complaint, which is usually the cause,
// and the last, which is what it gave up on; without the "[component @ address]" tags.
std::string FfmpegReason(const std::string& log) {
    std::string first, last;
    for (size_t start = 0, end; start < log.size(); start = end + 1) {
        end = std::min(log.find('\n', start), log.size());
        std::string line = log.substr(start, end - start);
        // Indented lines are notes such as "Last message repeated 3 times".
        if (line.empty() || line[0] == ' ') continue;
        while (line[0] == '[' && line.find(" @ ") < line.find(']') && line.find("] ") != std::string::npos)
            line.erase(0, line.find("] ") + 2);
        (first.empty() ? first : last) = line;
    }
    return last.empty() || last == first ? first : first + "; " + last;
}

// One run of ffmpeg: its own process group (a terminal's Ctrl-C is the tool's to pass on), the lowest
// priority, standard input from `input`, and standard error kept for the reason of a failure.
class Ffmpeg {
public:
    ~Ffmpeg() {
        Wait(true);
        if (log_ != nullptr) std::fclose(log_);
    }

    bool Start(const std::vector<std::string>& args, int input, int unusedInput, std::string& error) {
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        log_ = std::tmpfile();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
        if (unusedInput >= 0) posix_spawn_file_actions_addclose(&actions, unusedInput);
        if (log_ != nullptr) posix_spawn_file_actions_adddup2(&actions, fileno(log_), STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes,
                                 POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        const int spawned = posix_spawnp(&pid_, "ffmpeg", &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            error =
                "cannot run ffmpeg (" + std::string(std::strerror(spawned)) + "): install the ffmpeg package";
            return false;
        }
        // The renderer comes first: the encoder takes the processor time that drawing leaves over.
        setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), 19);
        return true;
    }

    // Waits for ffmpeg to end, ending it first when `stop` or when a stop signal comes; its wait status.
    int Wait(bool stop) {
        int status = 0;
        if (pid_ <= 0) return status;
        if (stop) kill(pid_, SIGKILL);
        while (waitpid(pid_, &status, 0) < 0) {
            if (errno != EINTR) break;
            if (StopSignal() != 0) kill(pid_, SIGKILL);
        }
        pid_ = -1;
        return status;
    }
    // Whether it exited with success and had nothing to say about `output` (if named): ffmpeg 5 exits with
    // success when the end of its output cannot be written.
    bool Succeeded(int status, const std::string& output) const {
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
               (output.empty() || ReadLog(log_).find(output) == std::string::npos);
    }
    // What ended it, from its wait status and its log.
    std::string End(int status) const {
        std::string reason = FfmpegReason(ReadLog(log_));
        if (!reason.empty()) return reason;
        if (WIFSIGNALED(status)) return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
        return "ffmpeg exited with code " + std::to_string(WEXITSTATUS(status));
    }

private:
    pid_t pid_ = -1;
    FILE* log_ = nullptr;
};

// ffmpeg's arguments for raw RGB frames from `frames` and the track over the same span, encoded to `output`.
std::vector<std::string> EncodeArgs(const std::string& frames, const std::string& track, const VideoSpan& s,
                                    double seconds, std::initializer_list<std::string> output) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const std::string length = std::to_string(seconds);
    const bool release = s.quality == VideoQuality::Release;
    std::vector<std::string> args = {
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
        // The frames, as they come.
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-r", std::to_string(s.fps), "-i", frames,
        // The track over the same span, and silence after its end. Files are named as file: URLs, so that
        // no name is read as an option or another protocol.
        "-ss", std::to_string(s.from), "-t", length, "-i", "file:" + track, "-map", "0:v:0", "-map", "1:a:0",
        // RGB to 4:2:0 with the BT.709 matrix in limited range, tagged as such, so that players decode the
        // colours the frames have.
        "-vf",
        "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int+bicubic,format=yuv420p",
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
        "-c:v", "libx264", "-preset", release ? "slow" : "veryfast", "-crf", release ? "18" : "23", "-af",
        "apad", "-c:a", "aac", "-b:a", release ? "256k" : "128k", "-t", length};
    args.insert(args.end(), output);
    return args;
}

class FfmpegSink final : public FrameSink {
public:
    FfmpegSink(std::unique_ptr<PartialFile> output, size_t frameBytes)
        : output_(std::move(output)), frameBytes_(frameBytes) {}
    // ffmpeg is ended before the partial file goes.
    ~FfmpegSink() override {
        if (pipe_ >= 0) close(pipe_);
        if (!finished_) ffmpeg_.Wait(true);
    }

    bool Start(const std::string& track, const VideoSpan& span) {
        // One blank frame and the track's first moments through the same encoders, written nowhere: what
        // ffmpeg refuses it refuses here, before any frame is drawn.
        Ffmpeg trial;
        if (!trial.Start(EncodeArgs("file:/dev/zero", track, span, 1.0 / span.fps,
                                    {"-frames:v", "1", "-f", "null", "-"}),
                         -1, -1, error_)) {
            return false;
        }
        const int status = trial.Wait(false);
        if (!trial.Succeeded(status, "")) {
            error_ = "ffmpeg refuses a " + std::to_string(span.width) + "x" + std::to_string(span.height) +
                     " video at " + std::to_string(span.fps) +
                     " frames/s with this track: " + trial.End(status);
            return false;
        }

        int pipeFds[2];
        if (pipe(pipeFds) != 0) return error_ = std::strerror(errno), false;
        const bool started =
            ffmpeg_.Start(EncodeArgs("pipe:0", track, span, span.seconds,
                                     {"-movflags", "+faststart", "-f", "mp4", "file:" + output_->Name()}),
                          pipeFds[0], pipeFds[1], error_);
        close(pipeFds[0]);
        if (!started) {
            close(pipeFds[1]);
            return false;
        }
        pipe_ = pipeFds[1];
        return true;
    }

    bool Write(const uint8_t* rgb) override {
        for (size_t done = 0; done < frameBytes_;) {
            const ssize_t n = write(pipe_, rgb + done, frameBytes_ - done);
            if (n < 0 && errno == EINTR && StopSignal() == 0) continue;
            if (n <= 0) {
                if (StopSignal() != 0) return error_ = "stopped", false;
                close(pipe_);
                pipe_ = -1;
                return error_ = "ffmpeg stopped taking frames: " + ffmpeg_.End(ffmpeg_.Wait(false)), false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    }

    bool Finish() override {
        close(pipe_);
        pipe_ = -1;
        const int status = ffmpeg_.Wait(false);
        if (StopSignal() != 0) return error_ = "stopped", false;
        if (!ffmpeg_.Succeeded(status, "file:" + output_->Name()))
            return error_ = "ffmpeg failed to encode the video: " + ffmpeg_.End(status), false;
        if (!output_->Commit(error_)) return error_ = output_->Path() + ": " + error_, false;
        finished_ = true;
        return true;
    }

private:
    std::unique_ptr<PartialFile> output_;
    size_t frameBytes_;
    Ffmpeg ffmpeg_;
    int pipe_ = -1;
    bool finished_ = false;
};

class PngSink final : public FrameSink {
public:
    PngSink(fs::path dir, fs::path fresh, int width, int height)
        : dir_(std::move(dir)), fresh_(std::move(fresh)), width_(width), height_(height) {}
    ~PngSink() override {
        std::error_code ignored;
        if (!finished_) fs::remove_all(fresh_, ignored);
    }
    bool Write(const uint8_t* rgb) override {
        if (WritePng(fresh_ / Name(frames_++), rgb, width_, height_, error_)) return true;
        error_.replace(0, fresh_.string().size(), dir_.string());  // the frame as it would have been named
        return false;
    }
    bool Finish() override {
        std::error_code error;
        if (!fs::exists(dir_, error)) {
            fs::rename(fresh_, dir_, error);
        } else {
            // Frame by frame over those of an earlier run, whose frames beyond this run's then go.
            for (size_t n = 0; n < frames_ && !error; ++n)
                fs::rename(fresh_ / Name(n), dir_ / Name(n), error);
            for (size_t n = frames_; !error && fs::remove(dir_ / Name(n), error); ++n) {
            }
            if (!error) fs::remove(fresh_, error);
        }
        if (error) return error_ = dir_.string() + ": " + error.message(), false;
        return finished_ = true;
    }

private:
    static std::string Name(size_t n) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06zu.png", n);
        return name;
    }

    fs::path dir_, fresh_;
    int width_, height_;
    size_t frames_ = 0;
    bool finished_ = false;
};

}  // namespace

std::unique_ptr<FrameSink> OpenVideo(const std::string& output, const std::string& track,
                                     const VideoSpan& span, std::string& error) {
    std::signal(SIGPIPE, SIG_IGN);  // a failed ffmpeg shows as a failed write
    // Made first: a folder it cannot be written in is found before anything else is tried.
    std::unique_ptr<PartialFile> partial = PartialFile::Create(output, error);
    if (partial == nullptr) {
        error = output + ": " + error;
        return nullptr;
    }
    auto sink =
        std::make_unique<FfmpegSink>(std::move(partial), static_cast<size_t>(span.width) * span.height * 3);
    if (!sink->Start(track, span)) {
        error = sink->Error();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<FrameSink> OpenFrames(const std::string& dir, int width, int height, std::string& error) {
    // The new folder is made beside the old, on the same file system, so that the frames move without
    // copying.
    std::string target = dir;
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    std::error_code status;
    if (fs::exists(target, status) && !fs::is_directory(target, status)) {
        error = dir + ": not a folder";
        return nullptr;
    }
    std::string fresh = target + ".partXXXXXX";
    if (mkdtemp(fresh.data()) == nullptr) {
        error = dir + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<PngSink>(target, fresh, width, height);
}

void CatchStopSignals() {
    struct sigaction action = {};
    action.sa_handler = NoteStopSignal;  // no SA_RESTART: a blocked write or wait returns to look
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous;
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
}

int StopSignal() {
    return stopSignal;
}
