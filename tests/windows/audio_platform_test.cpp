// The Windows audio platform: Media Foundation streams read by content, modules refused, and the wave-out
// device fed from its own thread.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/library.h"
#include "audio/windows/platform.h"

namespace audio {
namespace {

// A RIFF WAVE file of interleaved samples: format tag 1 (PCM, 16-bit) or 3 (IEEE float, 32-bit).
template <class Sample>
void WriteWav(const std::string& path, int channels, int rate, const std::vector<Sample>& samples) {
    const uint16_t tag = sizeof(Sample) == 4 ? 3 : 1, bits = sizeof(Sample) * 8;
    const uint16_t blockAlign = static_cast<uint16_t>(channels * sizeof(Sample));
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * sizeof(Sample));
    const uint32_t byteRate = static_cast<uint32_t>(rate) * blockAlign, riffBytes = 36 + dataBytes;
    const uint16_t channelCount = static_cast<uint16_t>(channels);
    const uint32_t sampleRate = static_cast<uint32_t>(rate), formatBytes = 16;
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    auto put = [file](const void* data, size_t size) { std::fwrite(data, 1, size, file); };
    put("RIFF", 4), put(&riffBytes, 4), put("WAVEfmt ", 8), put(&formatBytes, 4), put(&tag, 2);
    put(&channelCount, 2), put(&sampleRate, 4), put(&byteRate, 4), put(&blockAlign, 2), put(&bits, 2);
    put("data", 4), put(&dataBytes, 4), put(samples.data(), dataBytes);
    std::fclose(file);
}

class MediaFoundationTest : public ::testing::Test {
protected:
    void SetUp() override {
        char directory[MAX_PATH];
        GetTempPathA(MAX_PATH, directory);
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = std::string(directory) + "tesselune-" + name + "-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    std::string File(const char* name) { return files_.emplace_back(dir_ + "\\" + name); }

    std::string dir_;
    std::vector<std::string> files_;
};

TEST_F(MediaFoundationTest, FloatWaveDecodesToItsOwnSamples) {
    std::vector<float> samples;
    for (int i = 0; i < 44100; ++i) {
        samples.push_back(0.5f * static_cast<float>(std::sin(i * 0.0627)));
        samples.push_back(-0.25f * static_cast<float>(std::cos(i * 0.0941)));
    }
    const std::string path = File("float.wav");
    WriteWav(path, 2, 44100, samples);
    const DecodeResult result = DecodeMediaFoundationStream(path.c_str());
    ASSERT_NE(result.track, nullptr) << result.error;
    EXPECT_EQ(result.track->channels, 2);
    EXPECT_EQ(result.track->sampleRate, 44100);
    EXPECT_EQ(result.track->samples, samples);
}

TEST_F(MediaFoundationTest, TheContentDecidesNotTheNameAndTheRateIsKept) {
    // 16-bit mono at 22050 Hz, named like an MP3, and opened through a relative path.
    std::vector<int16_t> samples;
    for (int i = 0; i < 22050; ++i) samples.push_back(static_cast<int16_t>((i * 37) % 65536 - 32768));
    const std::string path = File("track.mp3");
    WriteWav(path, 1, 22050, samples);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(dir_.c_str());
    const DecodeResult result = DecodeMediaFoundationStream("./track.mp3");
    SetCurrentDirectoryA(previous);
    ASSERT_NE(result.track, nullptr) << result.error;
    EXPECT_EQ(result.track->channels, 1);
    EXPECT_EQ(result.track->sampleRate, 22050);
    ASSERT_EQ(result.track->samples.size(), samples.size());
    for (size_t i = 0; i < samples.size(); i += 997) {
        EXPECT_EQ(result.track->samples[i], samples[i] / 32768.0f) << i;
    }
}

TEST_F(MediaFoundationTest, WhatIsNotAudioFailsWithAReason) {
    const std::string text = File("notes.wav");
    FILE* file = std::fopen(text.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (int i = 0; i < 200; ++i) std::fputs("not a sound at all\n", file);
    std::fclose(file);
    DecodeResult result = DecodeMediaFoundationStream(text.c_str());
    EXPECT_EQ(result.track, nullptr);
    EXPECT_FALSE(result.error.empty());

    result = DecodeMediaFoundationStream((dir_ + "\\missing.mp3").c_str());
    EXPECT_EQ(result.track, nullptr);
    EXPECT_EQ(result.error, "no such file");

    // Modules are not played here, whatever the file holds.
    result = DecodeModuleUnsupported(text.c_str(), 44100);
    EXPECT_EQ(result.track, nullptr);
    EXPECT_FALSE(result.error.empty());
}

TEST_F(MediaFoundationTest, TheLibraryPlaysADecodedStreamAndRefusesModules) {
    std::vector<float> samples(2 * 4410, 0.125f);
    const std::string path = File("short.wav");
    WriteWav(path, 2, 44100, samples);
    struct SilentOutput final : OutputDevice {
        bool Open(Render) override { return true; }
        void Close() override {}
    };
    Library library({std::make_unique<SilentOutput>(), OpenMediaFoundationStream, OpenModuleUnsupported, {}});
    ASSERT_TRUE(library.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    const Handle stream = library.StreamCreateFile(false, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_DOUBLE_EQ(library.ChannelBytes2Seconds(stream, 4410 * 2 * 2), 0.1);
    EXPECT_EQ(library.MusicLoad(false, path.c_str(), 0, 0, kMusicRamp, 1), 0u);
}

// The wave-out device needs an output device of the system; Wine has one when a sound server runs.
class WinmmOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (waveOutGetNumDevs() == 0) GTEST_SKIP() << "no wave-out device";
    }
};

// Counts the render calls and remembers the threads and frame counts they came with.
struct RenderLog {
    std::mutex mutex;
    std::condition_variable called;
    int calls = 0;
    std::vector<int> frames;
    std::thread::id thread;

    OutputDevice::Render Callback(const std::shared_ptr<RenderLog>& self) {
        return [self](float* stereo, int count, int) {
            for (int i = 0; i < 2 * count; ++i) stereo[i] = 0.0f;
            const std::lock_guard lock(self->mutex);
            ++self->calls;
            self->frames.push_back(count);
            self->thread = std::this_thread::get_id();
            self->called.notify_all();
        };
    }
    bool AwaitCalls(int count) {
        std::unique_lock lock(mutex);
        return called.wait_for(lock, std::chrono::seconds(20), [&] { return calls >= count; });
    }
};

TEST_F(WinmmOutputTest, RendersOnItsOwnThreadUntilClosedAndOneIsOpenAtATime) {
    const auto log = std::make_shared<RenderLog>();
    const std::unique_ptr<OutputDevice> output = MakeWinmmOutput();
    ASSERT_TRUE(output->Open(log->Callback(log)));
    EXPECT_FALSE(output->Open(log->Callback(log))) << "already open";
    EXPECT_FALSE(MakeWinmmOutput()->Open(log->Callback(log))) << "one device at a time";
    // More calls than buffers: the device hands buffers back and they are refilled.
    ASSERT_TRUE(log->AwaitCalls(12));
    {
        const std::lock_guard lock(log->mutex);
        EXPECT_NE(log->thread, std::this_thread::get_id());
        for (int frames : log->frames) EXPECT_GT(frames, 0);
    }
    output->Close();
    // Closed: the callback is let go, so it can never run again.
    EXPECT_EQ(log.use_count(), 1);

    // Once closed, a device opens again.
    const auto again = std::make_shared<RenderLog>();
    const std::unique_ptr<OutputDevice> other = MakeWinmmOutput();
    ASSERT_TRUE(other->Open(again->Callback(again)));
    EXPECT_TRUE(again->AwaitCalls(1));
    other->Close();
}

}  // namespace
}  // namespace audio
