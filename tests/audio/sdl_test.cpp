// The Linux platform: real decoders on tracks the tests write, and SDL output on its dummy driver.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/library.h"
#include "audio/sdl/platform.h"
#include "audio/spectrum.h"
#include "audio/system_audio.h"

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
    Library library(SdlPlatform());

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

    Library library(SdlPlatform());
    for (const char* name : {"missing.mp3", "empty.mp3", "folder.mp3", "noise.mp3", "truncated.mp3"}) {
        const std::string path = Path(name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(library.StreamCreateFile(false, path.c_str(), 0, 0, 0), 0u) << name;
        EXPECT_EQ(library.MusicLoad(false, path.c_str(), 0, 0, kMusicRamp, 1), 0u) << name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind(path + ": cannot play: not a stream (", 0), 0u) << said;
        EXPECT_NE(said.find("), not a module ("), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(said.back(), '\n');
    }
}

TEST_F(SdlAudioTest, InitFailsWithoutAnAudioDriver) {
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    Library library(SdlPlatform());
    EXPECT_FALSE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
}

TEST_F(SdlAudioTest, InitFailsWhenTheDeviceCannotOpen) {
    // The disk driver starts, but its device cannot open a file in a missing folder.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Path("missing/out.raw").c_str(), 1);
    Library library(SdlPlatform());
    EXPECT_FALSE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
}

TEST_F(SdlAudioTest, PlaysOnTheDummyDriverAndReopensAfterFree) {
    std::vector<float> tone;
    for (int64_t f = 0; f < 8192; ++f) tone.insert(tone.end(), 2, Tone(f));
    WriteSound(Path("tone.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, tone);

    Library library(SdlPlatform());
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
