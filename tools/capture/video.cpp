#include "tools/capture/video.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/capture/png.h"

extern char** environ;

namespace {

class FfmpegSink final : public FrameSink {
public:
    FfmpegSink(std::string output, size_t frameBytes) : output_(std::move(output)), frameBytes_(frameBytes) {}
    ~FfmpegSink() override {
        if (!finished_) {
            Stop();
            std::remove(Partial().c_str());
        }
        if (log_ != nullptr) std::fclose(log_);
    }

    bool Start(const std::string& track, const VideoSpan& s) {
        const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
        const std::string from = std::to_string(s.from), seconds = std::to_string(s.seconds);
        const std::vector<std::string> args = {
            "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
            // The frames, as they come.
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-r", std::to_string(s.fps), "-i", "pipe:0",
            // The track over the same span.
            "-ss", from, "-t", seconds, "-i", track, "-map", "0:v:0", "-map", "1:a:0", "-c:v", "libx264",
            "-preset", "ultrafast", "-crf", "18", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "192k", "-t",
            seconds, "-f", "mp4", Partial()};
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);

        int pipeFds[2];
        if (pipe(pipeFds) != 0) return error_ = std::strerror(errno), false;
        // ffmpeg's own complaints are kept for the one line that reports a failure.
        log_ = std::tmpfile();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
        if (log_ != nullptr) posix_spawn_file_actions_adddup2(&actions, fileno(log_), STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
        const int spawned = posix_spawnp(&pid_, "ffmpeg", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[0]);
        if (spawned != 0) {
            close(pipeFds[1]);
            pid_ = -1;
            error_ =
                "cannot run ffmpeg (" + std::string(std::strerror(spawned)) + "): install the ffmpeg package";
            return false;
        }
        pipe_ = pipeFds[1];
        // The renderer comes first: the encoder takes the processor time that drawing leaves over.
        setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), 19);
        return true;
    }

    bool Write(const uint8_t* rgb) override {
        for (size_t done = 0; done < frameBytes_;) {
            const ssize_t n = write(pipe_, rgb + done, frameBytes_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return error_ = "ffmpeg stopped taking frames", false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    bool Finish() override {
        const int status = Stop();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            return error_ = "ffmpeg failed to encode the video: " + LastLogLine(), false;
        }
        if (std::rename(Partial().c_str(), output_.c_str()) != 0) {
            return error_ = output_ + ": " + std::strerror(errno), false;
        }
        finished_ = true;
        return true;
    }

private:
    std::string Partial() const { return output_ + ".part"; }
    std::string LastLogLine() const {
        std::string last, line;
        if (log_ == nullptr) return last;
        std::rewind(log_);
        for (int c; (c = std::fgetc(log_)) != EOF;) {
            if (c != '\n') {
                line += static_cast<char>(c);
            } else if (!line.empty()) {
                last = std::move(line);
                line.clear();
            }
        }
        return line.empty() ? last : line;
    }
    // Closes the pipe and waits for ffmpeg; its wait status.
    int Stop() {
        if (pipe_ >= 0) close(pipe_);
        pipe_ = -1;
        int status = -1;
        if (pid_ > 0) {
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
        pid_ = -1;
        return status;
    }

    std::string output_;
    size_t frameBytes_;
    pid_t pid_ = -1;
    int pipe_ = -1;
    bool finished_ = false;
    FILE* log_ = nullptr;
};

class PngSink final : public FrameSink {
public:
    PngSink(std::string dir, int width, int height) : dir_(std::move(dir)), width_(width), height_(height) {}
    ~PngSink() override {
        if (finished_) return;
        for (const std::string& file : written_) std::remove(file.c_str());
    }
    bool Write(const uint8_t* rgb) override {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06zu.png", written_.size());
        written_.push_back(dir_ + name);
        return WritePng(written_.back(), rgb, width_, height_, error_);
    }
    bool Finish() override { return finished_ = true; }

private:
    std::string dir_;
    int width_, height_;
    std::vector<std::string> written_;
    bool finished_ = false;
};

}  // namespace

std::unique_ptr<FrameSink> OpenVideo(const std::string& output, const std::string& track,
                                     const VideoSpan& span, std::string& error) {
    std::signal(SIGPIPE, SIG_IGN);  // a failed ffmpeg shows as a failed write
    auto sink = std::make_unique<FfmpegSink>(output, static_cast<size_t>(span.width) * span.height * 3);
    if (!sink->Start(track, span)) {
        error = sink->Error();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<FrameSink> OpenFrames(const std::string& dir, int width, int height, std::string& error) {
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        error = dir + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<PngSink>(dir, width, height);
}
