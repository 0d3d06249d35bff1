// The Linux platform: real decoders on tracks the tests write, and SDL output on its dummy driver.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/library.h"
#include "audio/sdl/platform.h"
#include "audio/spectrum.h"
#include "audio/system_audio.h"
#include "audio/track_stream.h"

namespace audio {
namespace {

namespace fs = std::filesystem;

constexpr int kToneBin = 50;

float Tone(int64_t frame) {
    return static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * kToneBin * frame / kFftSize));
}

void WriteBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteSound(const fs::path& path, int format, int rate, int channels, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_float(file, samples.data(), samples.size() / channels),
              static_cast<sf_count_t>(samples.size() / channels));
    sf_close(file);
}

// A four-channel ProTracker module: one pattern at speed 1 (64 rows of 20 ms) playing a 128-byte looped
// square wave every 16 rows.
std::vector<unsigned char> TinyMod() {
    std::vector<unsigned char> mod(1084, 0);
    const std::string title = "tesselune test";
    std::copy(title.begin(), title.end(), mod.begin());
    unsigned char* sample = &mod[20];  // the first of 31 sample headers, after its 22-byte name
    sample[22] = 0;                    // length in 16-bit words, big-endian: 64
    sample[23] = 64;
    sample[25] = 64;  // volume
    sample[29] = 64;  // loop length in words; the loop starts at 0
    mod[950] = 1;     // song length: one order
    mod[951] = 127;   // the customary restart byte
    std::copy_n("M.K.", 4, &mod[1080]);

    std::vector<unsigned char> pattern(64 * 4 * 4, 0);
    constexpr int kPeriod = 428;  // C-2
    for (int row = 0; row < 64; row += 16) {
        unsigned char* cell = &pattern[row * 16];
        cell[0] = 0x00 | (kPeriod >> 8);  // sample 1: high nibble 0 here, low nibble in cell[2]
        cell[1] = kPeriod & 0xFF;
        cell[2] = 0x10;
    }
    pattern[3 * 4 + 2] = 0x0F;  // row 0, channel 4: set speed 1
    pattern[3 * 4 + 3] = 0x01;
    mod.insert(mod.end(), pattern.begin(), pattern.end());
    for (int i = 0; i < 128; ++i) mod.push_back(i < 64 ? 0x40 : 0xC0);  // signed 8-bit: +64, then -64
    return mod;
}

// Reads a stream from start to end in blocks of `block` frames, as playback does: waiting for each block,
// then letting go of what was read.
// The stream's frames from `first` on to its end.
std::vector<float> ReadThrough(TrackStream& stream, int64_t block, int64_t first = 0) {
    std::vector<float> all;
    for (int64_t frame = first; !stream.EndedBefore(frame); frame += block) {
        stream.AwaitDecoded(frame + block);
        std::vector<float> out(static_cast<size_t>(block * stream.Channels()));
        stream.Copy(frame, block, out.data());
        all.insert(all.end(), out.begin(), out.end());
        stream.Release(frame + block);
    }
    return all;
}

// A kilobyte figure of this process from /proc/self/status ("VmRSS", "VmHWM").
int64_t StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
    }
    return -1;
}

bool AnyDevicePlaying() {
    for (SDL_AudioDeviceID id = 1; id < 64; ++id) {
        if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) return true;
    }
    return false;
}

class SdlAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("audio_tests_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(SdlAudioTest, WavDecodesToItsExactSamples) {
    std::vector<float> samples;
    for (int i = 0; i < 3000; ++i) samples.push_back(static_cast<float>((i * 37 % 2001) - 1000) / 32768.0f);
    WriteSound(Path("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1, samples);

    const DecodeResult result = DecodeStream(Path("mono.wav").c_str());
    ASSERT_TRUE(result.track) << result.error;
    EXPECT_EQ(result.track->channels, 1);
    EXPECT_EQ(result.track->sampleRate, 22050);
    EXPECT_EQ(result.track->samples, samples);
}

TEST_F(SdlAudioTest, Mp3IsFoundByContentAndKeepsItsTone) {
    std::vector<float> samples;
    for (int64_t f = 0; f < 44100; ++f) samples.insert(samples.end(), 2, Tone(f));
    WriteSound(Path("tone.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, samples);
    fs::rename(Path("tone.mp3"), Path("tone.dat"));

    const DecodeResult result = DecodeStream(Path("tone.dat").c_str());
    ASSERT_TRUE(result.track) << result.error;
    EXPECT_EQ(result.track->channels, 2);
    EXPECT_EQ(result.track->sampleRate, 44100);
    EXPECT_NEAR(result.track->Frames(), 44100, 4410);

    std::vector<float> bins(kSpectrumBins);
    Spectrum(*result.track, 20000, bins.data());
    EXPECT_EQ(std::max_element(bins.begin(), bins.end()) - bins.begin(), kToneBin);
    EXPECT_NEAR(bins[kToneBin], 0.5, 0.05);
}

TEST_F(SdlAudioTest, ModuleNamedLikeAnMp3PlaysAsMusicAfterTheStreamFails) {
    WriteBytes(Path("Glacierhorn.mp3"), TinyMod());
    Library library(SystemPlatform());

    testing::internal::CaptureStderr();
    EXPECT_EQ(library.StreamCreateFile(false, Path("Glacierhorn.mp3").c_str(), 0, 0, 0), 0u);
    const Handle music = library.MusicLoad(false, Path("Glacierhorn.mp3").c_str(), 0, 0, kMusicRamp, 1);
    EXPECT_NE(music, 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const DecodeResult result = DecodeModule(Path("Glacierhorn.mp3").c_str(), 44100);
    ASSERT_TRUE(result.track) << result.error;
    EXPECT_EQ(result.track->channels, 2);
    EXPECT_EQ(result.track->sampleRate, 44100);
    EXPECT_NEAR(result.track->Frames(), 64 * 0.02 * 44100, 0.1 * 44100) << "played once, to its end";
    const auto [low, high] = std::minmax_element(result.track->samples.begin(), result.track->samples.end());
    EXPECT_GT(*high - *low, 0.1f);
}

TEST_F(SdlAudioTest, BadTracksFailWithOneLineEach) {
    std::vector<float> tone;
    for (int64_t f = 0; f < 44100; ++f) tone.insert(tone.end(), 2, Tone(f));
    WriteSound(Path("whole.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, tone);
    std::vector<unsigned char> truncated(fs::file_size(Path("whole.mp3")));
    std::ifstream(Path("whole.mp3"), std::ios::binary).read(reinterpret_cast<char*>(truncated.data()), 40);
    truncated.resize(40);
    WriteBytes(Path("truncated.mp3"), truncated);

    std::vector<unsigned char> noise(5000);
    std::mt19937 random(11);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<unsigned char>(random() % 0xF0); });
    WriteBytes(Path("noise.mp3"), noise);
    WriteBytes(Path("empty.mp3"), {});
    fs::create_directory(Path("folder.mp3"));

    Library library(SystemPlatform());
    // What is wrong with each, as the stream's reason says it.
    for (const auto& [name, reason] : {std::pair{"missing.mp3", "No such file or directory"},
                                       {"empty.mp3", "the file is empty"},
                                       {"folder.mp3", "a folder, not a file"},
                                       {"noise.mp3", "not a format it knows"},
                                       {"truncated.mp3", "not a format it knows"}}) {
        const std::string path = Path(name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(library.StreamCreateFile(false, path.c_str(), 0, 0, 0), 0u) << name;
        EXPECT_EQ(library.MusicLoad(false, path.c_str(), 0, 0, kMusicRamp, 1), 0u) << name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind(path + ": cannot play: not a stream (" + reason, 0), 0u) << said;
        EXPECT_EQ(said.find("possibly a pipe"), std::string::npos) << said;
        EXPECT_NE(said.find("), not a module ("), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.back(), '\n');
    }
}

TEST_F(SdlAudioTest, StreamingGivesTheSamplesOfTheWholeDecoding) {
    // Longer than the ring, so that it wraps several times.
    std::vector<float> samples;
    for (int64_t f = 0; f < 12 * 44100; ++f) {
        samples.push_back(Tone(f));
        samples.push_back(static_cast<float>(0.25 * std::sin(f * 0.01)));
    }
    WriteSound(Path("long.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, samples);
    WriteBytes(Path("song.mod"), TinyMod());

    for (const auto& [name, open] :
         {std::pair{"long.mp3", std::function<OpenResult(const char*)>(OpenStream)},
          std::pair{"song.mod", std::function<OpenResult(const char*)>(
                                    [](const char* p) { return OpenModule(p, 44100); })}}) {
        SCOPED_TRACE(name);
        const DecodeResult whole = DecodeAll(open(Path(name).c_str()));
        ASSERT_TRUE(whole.track) << whole.error;
        OpenResult opened = open(Path(name).c_str());
        ASSERT_TRUE(opened.decoder) << opened.error;
        TrackStream stream(std::move(opened.decoder), name);
        std::vector<float> streamed = ReadThrough(stream, 1000);
        ASSERT_GE(streamed.size(), whole.track->samples.size());
        EXPECT_TRUE(std::all_of(streamed.begin() + whole.track->samples.size(), streamed.end(), [](float v) {
            return v == 0.0f;
        })) << "silence past the end";
        streamed.resize(whole.track->samples.size());
        EXPECT_TRUE(streamed == whole.track->samples);

        // Started part-way (a new position): the same samples from there, where the decoder seeks (MP3) and
        // where it reads up to the frame (modules).
        const int64_t first = std::min<int64_t>(7 * 44100 + 123, whole.track->Frames() / 2);
        OpenResult again = open(Path(name).c_str());
        TrackStream from(std::move(again.decoder), name, first);
        std::vector<float> rest = ReadThrough(from, 1000, first);
        rest.resize(whole.track->samples.size() - static_cast<size_t>(first * 2));
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), whole.track->samples.begin() + first * 2));
    }
}

// Tracks that turn bad part-way, that last an hour, or that would block: each plays what it can, in memory
// that does not grow with the track, and never hangs.
TEST_F(SdlAudioTest, DamagedHugeAndBlockingTracks) {
    // 20 KB of noise 40 % into an MP3 of 20 s.
    std::vector<float> tone;
    for (int64_t f = 0; f < 20 * 44100; ++f) tone.insert(tone.end(), 2, Tone(f));
    WriteSound(Path("damaged.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, tone);
    {
        std::fstream file(Path("damaged.mp3"), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(fs::file_size(Path("damaged.mp3")) * 2 / 5));
        std::mt19937 random(5);
        for (int i = 0; i < 20000; ++i) file.put(static_cast<char>(random()));
    }
    {
        OpenResult opened = OpenStream(Path("damaged.mp3").c_str());
        ASSERT_TRUE(opened.decoder) << opened.error;
        testing::internal::CaptureStderr();
        TrackStream stream(std::move(opened.decoder), Path("damaged.mp3"));
        const std::vector<float> played = ReadThrough(stream, 4096);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind(Path("damaged.mp3") + ": at 7.", 0), 0u) << said;
        EXPECT_NE(said.find(" s: decoding stopped: "), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_GT(played.size(), 2 * 44100 * 78u / 10) << "what comes before the damage plays";
    }

    // An hour of silence in a FLAC of a few hundred kilobytes: the peak memory of playing it stays far below
    // what the decoded hour would take (115 MB).
    {
        SF_INFO info{};
        info.samplerate = 8000;
        info.channels = 1;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(Path("hour.flac").c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        const std::vector<short> minute(8000 * 60, 0);
        for (int m = 0; m < 60; ++m)
            sf_writef_short(file, minute.data(), static_cast<sf_count_t>(minute.size()));
        sf_close(file);
    }
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const int64_t before = StatusKb("VmRSS");
    {
        struct Output final : OutputDevice {
            bool Open(Render r) override {
                render = std::move(r);
                return true;
            }
            void Close() override { render = nullptr; }
            Render render;
        };
        auto output = std::make_unique<Output>();
        Output* device = output.get();
        Library library({std::move(output), OpenStream, OpenModule, {}});
        ASSERT_TRUE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
        const Handle hour = library.StreamCreateFile(false, Path("hour.flac").c_str(), 0, 0, 0);
        ASSERT_NE(hour, 0u);
        ASSERT_TRUE(library.ChannelPlay(hour, false));
        std::vector<float> mix(2 * 1024), bins(kSpectrumBins);
        for (int i = 0; i < 200; ++i) {
            device->render(mix.data(), 1024, 0);
            ASSERT_EQ(library.ChannelGetData(hour, bins.data(), kDataFFT2048), kSpectrumBins * 4);
        }
        EXPECT_GT(library.ChannelGetPosition(hour, kPosByte), 0);
    }
    const int64_t peak = StatusKb("VmHWM");
    ASSERT_GT(before, 0);
    EXPECT_LT(peak - before, 16 * 1024) << "kB above what the process held before";

    // A FIFO would block an open until a writer came: it is refused at once.
    ASSERT_EQ(mkfifo(Path("fifo.mp3").c_str(), 0600), 0);
    Library library(SystemPlatform());
    testing::internal::CaptureStderr();
    EXPECT_EQ(library.StreamCreateFile(false, Path("fifo.mp3").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(library.MusicLoad(false, Path("fifo.mp3").c_str(), 0, 0, kMusicRamp, 1), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              Path("fifo.mp3") +
                  ": cannot play: not a stream (not a regular file), not a module (not a regular file)\n");
}

// Headers that declare more than any track has are refused before memory is sized from them; a format at the
// limits plays from a ring of bounded size; a module file is not read whole past a size. The process's own
// peak stays far below what the headers ask for (gigabytes without the limits).
TEST_F(SdlAudioTest, HeadersThatLie) {
    // A 16-bit mono WAV of 131072 samples of a tone whose header is then made to say `channels` at `rate`.
    const auto lyingWav = [&](const std::string& name, int channels, int rate) {
        std::vector<float> tone(131072);
        for (size_t f = 0; f < tone.size(); ++f) tone[f] = Tone(static_cast<int64_t>(f));
        WriteSound(Path(name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, tone);
        std::fstream file(Path(name), std::ios::binary | std::ios::in | std::ios::out);
        const auto put = [&](std::streamoff at, uint32_t value, int bytes) {
            file.seekp(at);
            for (int b = 0; b < bytes; ++b) file.put(static_cast<char>(value >> (8 * b)));
        };
        put(22, static_cast<uint32_t>(channels), 2);
        put(24, static_cast<uint32_t>(rate), 4);
        put(28, static_cast<uint32_t>(rate * channels * 2), 4);
        put(32, static_cast<uint32_t>(channels * 2), 2);
    };
    lyingWav("rate.wav", 1, 67152964);  // 44100 with one bit flipped
    lyingWav("channels.wav", 1024, 192000);
    lyingWav("limits.wav", kMaxChannels, kMaxSampleRate);
    std::vector<unsigned char> module = TinyMod();
    WriteBytes(Path("padded.mod"), module);
    fs::resize_file(Path("padded.mod"), 1ull << 30);  // sparse: a gigabyte that takes no disk

    std::ofstream("/proc/self/clear_refs") << "5";
    const int64_t before = StatusKb("VmRSS");
    Library library(SystemPlatform());
    for (const auto& [name, says] : {std::pair{"rate.wav", "a rate of 67152964 Hz, beyond any track's"},
                                     {"channels.wav", "1024 channels, beyond any track's"}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(library.StreamCreateFile(false, Path(name).c_str(), 0, 0, 0), 0u);
        EXPECT_EQ(library.MusicLoad(false, Path(name).c_str(), 0, 0, kMusicRamp, 1), 0u);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(std::string(": cannot play: not a stream (") + says + ")"), std::string::npos)
            << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(library.MusicLoad(false, Path("padded.mod").c_str(), 0, 0, kMusicRamp, 1), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              Path("padded.mod") +
                  ": cannot play: not a module (1024 MiB, more than any module (at most 64 MiB))\n");
    EXPECT_FALSE(DecodeStream(Path("rate.wav").c_str()).track);
    EXPECT_LT(StatusKb("VmHWM") - before, 16 * 1024) << "kB above what the process held before";

    // At the limits, 32 channels at 768 kHz: a ring of four seconds would take 393 MB.
    const Handle limits = library.StreamCreateFile(false, Path("limits.wav").c_str(), 0, 0, 0);
    ASSERT_NE(limits, 0u);
    EXPECT_TRUE(library.ChannelPlay(limits, false));
    EXPECT_LT(StatusKb("VmHWM") - before, 96 * 1024) << "kB above what the process held before";
}

// MP3 streams joined end to end play one after another; where the rate or the channels change, decoding
// stops with one line.
TEST_F(SdlAudioTest, JoinedAndChangingMp3Streams) {
    const auto toneMp3 = [&](const std::string& name, int rate, int channels, int bin) {
        std::vector<float> samples;
        for (int64_t f = 0; f < 3 * rate; ++f) {
            const auto value =
                static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * bin * f / kFftSize));
            samples.insert(samples.end(), static_cast<size_t>(channels), value);
        }
        WriteSound(Path(name), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, rate, channels, samples);
        std::ifstream in(Path(name), std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    };
    const std::vector<unsigned char> first = toneMp3("1.mp3", 44100, 2, 30),
                                     second = toneMp3("2.mp3", 44100, 2, 60),
                                     third = toneMp3("3.mp3", 44100, 2, 90),
                                     mono = toneMp3("4.mp3", 22050, 1, 60);
    std::vector<unsigned char> joined = first, changing = first;
    joined.insert(joined.end(), second.begin(), second.end());
    joined.insert(joined.end(), third.begin(), third.end());
    changing.insert(changing.end(), mono.begin(), mono.end());
    WriteBytes(Path("joined.mp3"), joined);
    WriteBytes(Path("changing.mp3"), changing);

    const auto play = [&](const std::string& name, std::string& said) {
        OpenResult opened = OpenStream(Path(name).c_str());
        EXPECT_TRUE(opened.decoder) << opened.error;
        if (!opened.decoder) return DecodedTrack{};
        testing::internal::CaptureStderr();
        DecodedTrack track{{}, opened.decoder->Channels(), opened.decoder->SampleRate()};
        {
            TrackStream stream(std::move(opened.decoder), Path(name));
            track.samples = ReadThrough(stream, 4096);
        }
        said = testing::internal::GetCapturedStderr();
        return track;
    };
    std::string said;
    const DecodedTrack whole = play("joined.mp3", said);
    EXPECT_EQ(said, "");
    EXPECT_GT(whole.Frames(), 9 * 44100 - 4096);
    std::vector<float> bins(kSpectrumBins);
    for (const auto& [second, bin] : {std::pair{1.5, 30}, {4.5, 60}, {7.5, 90}}) {
        Spectrum(whole, static_cast<int64_t>(second * 44100), bins.data());
        EXPECT_EQ(std::max_element(bins.begin(), bins.end()) - bins.begin(), bin) << second << " s";
    }

    const DecodedTrack cut = play("changing.mp3", said);
    EXPECT_NEAR(cut.Frames(), 3 * 44100, 8192);
    EXPECT_EQ(said.rfind(Path("changing.mp3") + ": at 3.", 0), 0u) << said;
    EXPECT_NE(said.find("decoding stopped: the next stream is 22050 Hz mono"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// A decoding thread that cannot start is named as the reason a track cannot play.
TEST_F(SdlAudioTest, ThreadThatCannotStartIsSaid) {
    WriteSound(Path("small.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, std::vector<float>(8000, 0.25f));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Room for the ring and little more: no thread's stack fits.
            rlimit room{};
            room.rlim_cur = static_cast<rlim_t>(StatusKb("VmSize") + 1536) * 1024;
            room.rlim_max = RLIM_INFINITY;
            setrlimit(RLIMIT_AS, &room);
            Library library(SystemPlatform());
            const bool opened = library.StreamCreateFile(false, Path("small.wav").c_str(), 0, 0, 0) != 0 ||
                                library.MusicLoad(false, Path("small.wav").c_str(), 0, 0, kMusicRamp, 1) != 0;
            std::exit(opened ? 1 : 0);
        },
        testing::ExitedWithCode(0),
        "small.wav: cannot play: not a stream \\(no decoding thread could be started: ");
}

TEST_F(SdlAudioTest, InitFailsWithoutAnAudioDriver) {
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    Library library(SystemPlatform());
    EXPECT_FALSE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
}

TEST_F(SdlAudioTest, InitFailsWhenTheDeviceCannotOpen) {
    // The disk driver starts, but its device cannot open a file in a missing folder.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Path("missing/out.raw").c_str(), 1);
    Library library(SystemPlatform());
    EXPECT_FALSE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
}

TEST_F(SdlAudioTest, PlaysOnTheDummyDriverAndReopensAfterFree) {
    std::vector<float> tone;
    for (int64_t f = 0; f < 8192; ++f) tone.insert(tone.end(), 2, Tone(f));
    WriteSound(Path("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, tone);

    Library library(SystemPlatform());
    ASSERT_TRUE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    EXPECT_FALSE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    const Handle stream = library.StreamCreateFile(false, Path("tone.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_TRUE(library.ChannelPlay(stream, false));
    std::vector<float> bins(kSpectrumBins);
    EXPECT_EQ(library.ChannelGetData(stream, bins.data(), kDataFFT2048), kSpectrumBins * 4);
    EXPECT_GE(library.ChannelGetPosition(stream, kPosByte), 0);

    EXPECT_TRUE(library.Free());
    EXPECT_EQ(library.ChannelGetPosition(stream, kPosByte), -1);
    EXPECT_TRUE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
}

TEST(SystemAudio, ExitClosesThePlayingDeviceBeforeLaterExitHandlers) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // A fresh process: the exit handler is registered once, at the process's first successful Init.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Registered before Init, so it runs after the library's own exit handler.
            std::atexit([] { std::_Exit(AnyDevicePlaying() ? 4 : 0); });
            if (!SystemAudio().Init(kDefaultDevice, 44100, 0, nullptr, nullptr)) std::exit(2);
            if (!AnyDevicePlaying()) std::exit(3);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace audio
