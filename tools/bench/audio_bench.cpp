// tesselune-audio-bench: the audio library as the show uses it, on the real output device (run it on a
// PulseAudio null sink: it plays in real time and its monitor can be recorded). One measure per run, printed
// as tab-separated rows: benchmark, subject, median, minimum, unit, derived.
//   tesselune-audio-bench clock TRACK            the position polled at 60 Hz for 10 s
//   tesselune-audio-bench offset MONITOR         clicks heard on the monitor source against the position
//   tesselune-audio-bench play TRACK NAME        open to play, and the peak memory of 5 s of playing
//   tesselune-audio-bench hour FILE              writes an hour of silence as FLAC
// Only the library's interface is used, so that the same program measures any version of it.
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_library.h"
#include "audio/system_audio.h"
#include "platform/standard_streams.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "tesselune-audio-bench: %s\n", message.c_str());
    std::exit(1);
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return std::nan("");
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Row(const std::string& benchmark, const std::string& subject, double median, double min,
         const std::string& unit, const std::string& derived) {
    std::printf("%s\t%s\t%.6g\t%.6g\t%s\t%s\n", benchmark.c_str(), subject.c_str(), median, min, unit.c_str(),
                derived.c_str());
}

// The library with its device open and `track` playing, as the show starts it.
struct Playing {
    explicit Playing(const std::string& track) : library(audio::SystemAudio()) {
        if (!library.Init(audio::kDefaultDevice, kRate, 0, nullptr, nullptr)) Fail("no audio device");
        const Clock::time_point start = Clock::now();
        handle = library.StreamCreateFile(false, track.c_str(), 0, 0, 0);
        if (handle == 0) handle = library.MusicLoad(false, track.c_str(), 0, 0, audio::kMusicRamp, 1);
        if (handle == 0) Fail("cannot open " + track);
        library.ChannelPlay(handle, false);
        openToPlay = Seconds(Clock::now() - start);
    }
    double Position() {
        return library.ChannelBytes2Seconds(handle, library.ChannelGetPosition(handle, audio::kPosByte));
    }

    audio::AudioLibrary& library;
    audio::Handle handle = 0;
    double openToPlay = 0.0;
};

int ClockRow(const std::string& track) {
    Playing playing(track);
    // A sound server can take a while to start a stream: the polls begin once it plays.
    const Clock::time_point opened = Clock::now();
    while (playing.Position() < 0.1 && Clock::now() - opened < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    constexpr auto kFrame = std::chrono::microseconds(16667);
    std::vector<double> positions, walls;
    const Clock::time_point start = Clock::now();
    for (int n = 0; n < 600; ++n) {
        std::this_thread::sleep_until(start + n * kFrame);
        walls.push_back(Seconds(Clock::now() - start));
        positions.push_back(playing.Position());
    }
    std::vector<double> steps, wallSteps;
    int repeated = 0;
    double deviation = 0.0;  // the largest difference between a step and the time between its polls
    int near = 0;            // steps within 1 ms of it
    for (size_t i = 1; i < positions.size(); ++i) {
        steps.push_back((positions[i] - positions[i - 1]) * 1e3);
        wallSteps.push_back((walls[i] - walls[i - 1]) * 1e3);
        deviation = std::max(deviation, std::fabs(steps.back() - wallSteps.back()));
        near += std::fabs(steps.back() - wallSteps.back()) <= 1.0;
        repeated += positions[i] == positions[i - 1];
    }
    const auto [low, high] = std::minmax_element(steps.begin(), steps.end());
    char derived[240];
    std::snprintf(
        derived, sizeof derived,
        "%d of %zu polls repeat the one before; steps %.3g–%.3g ms; polls %.3g ms apart (median); %d "
        "steps within 1 ms of the time between their polls, %.3g ms off at most",
        repeated, steps.size(), *low, *high, Median(wallSteps), near, deviation);
    Row("clock", "position step at 60 Hz for 10 s", Median(steps), *low, "ms", derived);
    return 0;
}

// Clicks a second apart from 1.5 s; the monitor recorded with a timestamp for each block read.
int OffsetRow(const std::string& monitor) {
    const std::string track = "clicks.wav";
    constexpr double kClicks[] = {1.5, 2.5, 3.5, 4.5, 5.5};
    {
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        std::vector<float> samples(2 * kRate * 7, 0.0f);
        for (double at : kClicks) {
            const auto first = static_cast<size_t>(at * kRate);
            for (size_t i = first; i < first + 44; ++i) samples[2 * i] = samples[2 * i + 1] = 0.9f;
        }
        SNDFILE* file = sf_open(track.c_str(), SFM_WRITE, &info);
        if (file == nullptr) Fail(sf_strerror(nullptr));
        sf_writef_float(file, samples.data(), kRate * 7);
        sf_close(file);
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) Fail("no pipe");
    const pid_t recorder = fork();
    if (recorder == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execlp("parec", "parec", "--raw", "--format=float32le", "--rate=44100", "--channels=1",
               "--latency-msec=5", "-d", monitor.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    if (recorder < 0) Fail("cannot start parec");
    FILE* recording = fdopen(pipeEnds[0], "r");
    std::vector<double> heard;  // steady seconds at which each click arrived on the monitor
    const Clock::time_point origin = Clock::now();
    std::thread reader([&] {
        std::vector<float> block(64);
        bool inClick = false;
        for (;;) {
            const size_t got = std::fread(block.data(), sizeof(float), block.size(), recording);
            const double now = Seconds(Clock::now() - origin);
            if (got == 0) return;
            for (size_t i = 0; i < got; ++i) {
                const bool loud = std::fabs(block[i]) > 0.5f;
                if (loud && !inClick) heard.push_back(now - static_cast<double>(got - i) / kRate);
                inClick = loud;
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the recording running
    std::vector<double> crossed;  // steady seconds at which the position passed each click
    {
        Playing playing(track);
        double last = playing.Position();
        double lastAt = Seconds(Clock::now() - origin);
        size_t next = 0;
        while (next < std::size(kClicks)) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            const double position = playing.Position();
            const double at = Seconds(Clock::now() - origin);
            if (position >= kClicks[next]) {
                // Between the two polls, in proportion.
                const double share = position > last ? (kClicks[next] - last) / (position - last) : 1.0;
                crossed.push_back(lastAt + share * (at - lastAt));
                ++next;
            }
            last = position;
            lastAt = at;
            if (at > 20.0) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        playing.library.Free();
    }
    kill(recorder, SIGINT);
    reader.join();
    std::fclose(recording);
    waitpid(recorder, nullptr, 0);
    std::vector<double> offsets;
    for (size_t i = 0; i < std::min(heard.size(), crossed.size()); ++i)
        offsets.push_back((heard[i] - crossed[i]) * 1e3);
    if (offsets.empty()) Fail("no click was heard on " + monitor);
    const auto [low, high] = std::minmax_element(offsets.begin(), offsets.end());
    char derived[200];
    std::snprintf(
        derived, sizeof derived,
        "%zu clicks; %.3g to %.3g ms; heard later than the position says when positive; the recording's "
        "own delay (5 ms asked) included",
        offsets.size(), *low, *high);
    Row("A/V offset", "click heard on the sink's monitor − position crossing it", Median(offsets), *low, "ms",
        derived);
    return 0;
}

int64_t StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
    }
    return -1;
}

int PlayRows(const std::string& track, const std::string& name) {
    Playing playing(track);
    float spectrum[1024];
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5)) {
        playing.library.ChannelGetData(playing.handle, spectrum, audio::kDataFFT2048);
        playing.Position();
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    Row("open to play", name, playing.openToPlay * 1e3, playing.openToPlay * 1e3, "ms",
        "StreamCreateFile called to ChannelPlay returned");
    const double peak = StatusKb("VmHWM") / 1024.0;
    Row("peak memory", name + ", 5 s played", peak, peak, "MB", "the process's peak resident size (VmHWM)");
    return 0;
}

int HourOfSilence(const std::string& path) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) Fail(sf_strerror(nullptr));
    const std::vector<short> minute(2 * kRate * 60, 0);
    for (int m = 0; m < 60; ++m) sf_writef_short(file, minute.data(), kRate * 60);
    sf_close(file);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    OpenStandardStreams();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "clock" && argc == 3) return ClockRow(argv[2]);
    if (mode == "offset" && argc == 3) return OffsetRow(argv[2]);
    if (mode == "play" && argc == 4) return PlayRows(argv[2], argv[3]);
    if (mode == "hour" && argc == 3) return HourOfSilence(argv[2]);
    Fail("usage: clock TRACK | offset MONITOR | play TRACK NAME | hour FILE");
}
