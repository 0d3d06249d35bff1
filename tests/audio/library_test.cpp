// The library over a fake output device whose render callback the tests call themselves.
#include "audio/library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "audio/spectrum.h"

namespace audio {
namespace {

struct FakeOutput final : OutputDevice {
    bool Open(Render r) override {
        if (!available) return false;
        render = std::move(r);
        return true;
    }
    void Close() override { render = nullptr; }

    bool available = true;
    Render render;
};

std::shared_ptr<const DecodedTrack> Ramp(int rate, int channels, int64_t frames) {
    auto track = std::make_shared<DecodedTrack>(DecodedTrack{{}, channels, rate});
    for (int64_t i = 0; i < frames * channels; ++i) track->samples.push_back(static_cast<float>(i) / 1000.0f);
    return track;
}

class LibraryTest : public ::testing::Test {
protected:
    LibraryTest() : library_(MakePlatform()) {
        EXPECT_TRUE(library_.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    }

    Platform MakePlatform() {
        auto output = std::make_unique<FakeOutput>();
        output_ = output.get();
        return {std::move(output),
                [this](const char* path) {
                    const auto it = streams_.find(path);
                    return it != streams_.end() ? DecodeResult{it->second, {}}
                                                : DecodeResult::Failure("no header");
                },
                [this](const char* path, int rate) {
                    moduleRate_ = rate;
                    const auto it = modules_.find(path);
                    return it != modules_.end() ? DecodeResult{it->second, {}}
                                                : DecodeResult::Failure("no patterns");
                }};
    }

    Handle Stream(std::shared_ptr<const DecodedTrack> track) {
        streams_["track"] = std::move(track);
        return library_.StreamCreateFile(false, "track", 0, 0, 0);
    }

    std::vector<float> Render(int frames) {
        std::vector<float> out(2 * frames, -9.0f);
        output_->render(out.data(), frames);
        return out;
    }

    std::map<std::string, std::shared_ptr<const DecodedTrack>> streams_, modules_;
    int moduleRate_ = 0;
    FakeOutput* output_ = nullptr;
    Library library_;
};

TEST_F(LibraryTest, VersionAndDeviceLifetime) {
    EXPECT_EQ(library_.GetVersion() >> 16, 0x0204u);
    EXPECT_FALSE(library_.Init(kDefaultDevice, 44100, 0, nullptr, nullptr)) << "already open";
    modules_["song.mod"] = Ramp(44100, 2, 100);
    const Handle stream = Stream(Ramp(44100, 2, 100));
    const Handle music = library_.MusicLoad(false, "song.mod", 0, 0, 0, 1);
    EXPECT_TRUE(library_.Free());
    EXPECT_FALSE(output_->render) << "Free closes the device";
    EXPECT_EQ(library_.ChannelGetPosition(stream, kPosByte), -1) << "and frees every channel";
    EXPECT_EQ(library_.ChannelGetPosition(music, kPosByte), -1);
    EXPECT_FALSE(library_.Init(kDefaultDevice, 48000, 0, nullptr, nullptr));
    output_->available = false;
    EXPECT_FALSE(library_.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
    output_->available = true;
    EXPECT_TRUE(library_.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));
}

TEST_F(LibraryTest, CopiesA44100StereoTrackBitExactly) {
    auto track = std::make_shared<DecodedTrack>(DecodedTrack{{}, 2, 44100});
    std::mt19937 random(3);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    for (int i = 0; i < 2 * 3000; ++i) track->samples.push_back(uniform(random));
    const Handle handle = Stream(track);
    ASSERT_TRUE(library_.ChannelPlay(handle, false));

    std::vector<float> heard;
    for (int frames : {333, 1024, 1024, 619}) {
        const std::vector<float> out = Render(frames);
        heard.insert(heard.end(), out.begin(), out.end());
    }
    ASSERT_EQ(heard.size(), track->samples.size());
    EXPECT_EQ(std::memcmp(heard.data(), track->samples.data(), heard.size() * sizeof(float)), 0);
}

TEST_F(LibraryTest, PositionCountsFramesHeardInTheChannelsFormat) {
    const Handle stereo = Stream(Ramp(44100, 2, 100000));
    EXPECT_EQ(library_.ChannelGetPosition(stereo, kPosByte), 0);
    Render(500);
    EXPECT_EQ(library_.ChannelGetPosition(stereo, kPosByte), 0) << "not started yet";

    ASSERT_TRUE(library_.ChannelPlay(stereo, false));
    Render(1000);
    Render(470);
    const int64_t bytes = library_.ChannelGetPosition(stereo, kPosByte);
    EXPECT_EQ(bytes, 1470 * 2 * 2);
    EXPECT_DOUBLE_EQ(library_.ChannelBytes2Seconds(stereo, bytes), 1470.0 / 44100.0);

    // At half the device rate, mono: half as many frames of two bytes each.
    const Handle mono = Stream(Ramp(22050, 1, 100000));
    ASSERT_TRUE(library_.ChannelPlay(mono, false));
    Render(1000);
    EXPECT_EQ(library_.ChannelGetPosition(mono, kPosByte), 500 * 2);
    EXPECT_DOUBLE_EQ(library_.ChannelBytes2Seconds(mono, 500 * 2), 500.0 / 22050.0);
    EXPECT_EQ(library_.ChannelGetPosition(stereo, kPosByte), 2470 * 2 * 2) << "both play at once";
}

TEST_F(LibraryTest, FinishedChannelStaysAtItsEndUntilRestarted) {
    const Handle handle = Stream(Ramp(44100, 2, 300));
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    const std::vector<float> out = Render(1024);
    EXPECT_EQ(out[2 * 299], 598 / 1000.0f);
    EXPECT_EQ(out[2 * 300], 0.0f) << "silence after the end";
    Render(1024);
    EXPECT_EQ(library_.ChannelGetPosition(handle, kPosByte), 300 * 4);

    ASSERT_TRUE(library_.ChannelPlay(handle, true));
    EXPECT_EQ(library_.ChannelGetPosition(handle, kPosByte), 0);
    Render(100);
    EXPECT_EQ(library_.ChannelGetPosition(handle, kPosByte), 100 * 4);
}

TEST_F(LibraryTest, ConvertsOtherRatesAndChannelCounts) {
    // 22050 Hz mono: every other device frame falls halfway between two track frames; mono feeds both sides.
    ASSERT_TRUE(library_.ChannelPlay(Stream(Ramp(22050, 1, 1000)), false));
    const std::vector<float> mono = Render(200);
    for (int n = 0; n < 200; ++n) {
        ASSERT_NEAR(mono[2 * n], n / 2000.0, 1e-6) << "frame " << n;
        ASSERT_EQ(mono[2 * n], mono[2 * n + 1]);
    }
    ASSERT_TRUE(library_.Free());
    ASSERT_TRUE(library_.Init(kDefaultDevice, 44100, 0, nullptr, nullptr));

    // Four channels: the even ones make the left side, the odd ones the right.
    ASSERT_TRUE(library_.ChannelPlay(Stream(Ramp(44100, 4, 1000)), false));
    const std::vector<float> quad = Render(2);
    EXPECT_FLOAT_EQ(quad[0], 0.001f);  // (0 + 0.002) / 2
    EXPECT_FLOAT_EQ(quad[1], 0.002f);  // (0.001 + 0.003) / 2
    EXPECT_FLOAT_EQ(quad[2], 0.005f);
}

TEST_F(LibraryTest, SpectrumIsTakenAtThePlayingPosition) {
    const auto track = Ramp(22050, 1, 20000);
    const Handle handle = Stream(track);
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    Render(4410);

    std::vector<float> heard(kSpectrumBins), expected(kSpectrumBins);
    EXPECT_EQ(library_.ChannelGetData(handle, heard.data(), kDataFFT2048), kSpectrumBins * 4);
    Spectrum(*track, 2205, expected.data());
    EXPECT_EQ(heard, expected);
}

TEST_F(LibraryTest, InvalidHandlesAreRefusedAndLeaveTheBufferAlone) {
    const Handle freed = Stream(Ramp(44100, 2, 100));
    ASSERT_TRUE(library_.StreamFree(freed));
    for (Handle handle : {Handle{0}, freed, Handle{12345}}) {
        std::vector<float> buffer(kSpectrumBins, 7.0f);
        EXPECT_EQ(library_.ChannelGetData(handle, buffer.data(), kDataFFT2048), -1);
        EXPECT_EQ(buffer, std::vector<float>(kSpectrumBins, 7.0f));
        EXPECT_EQ(library_.ChannelGetPosition(handle, kPosByte), -1);
        EXPECT_EQ(library_.ChannelBytes2Seconds(handle, 400), -1.0);
        EXPECT_FALSE(library_.ChannelPlay(handle, false));
        EXPECT_FALSE(library_.StreamFree(handle));
        EXPECT_FALSE(library_.MusicFree(handle));
    }
}

TEST_F(LibraryTest, StreamsAndModulesAreFreedOnlyAsTheirOwnKind) {
    modules_["song.mod"] = Ramp(44100, 2, 100);
    const Handle stream = Stream(Ramp(44100, 2, 100));
    const Handle music = library_.MusicLoad(false, "song.mod", 0, 0, kMusicRamp, 1);
    ASSERT_NE(stream, 0u);
    ASSERT_NE(music, 0u);
    ASSERT_NE(stream, music);

    EXPECT_FALSE(library_.StreamFree(music));
    EXPECT_FALSE(library_.MusicFree(stream));
    EXPECT_EQ(library_.ChannelGetPosition(music, kPosByte), 0);
    EXPECT_EQ(library_.ChannelGetPosition(stream, kPosByte), 0);

    EXPECT_TRUE(library_.MusicFree(music));
    EXPECT_TRUE(library_.StreamFree(stream));
    EXPECT_EQ(library_.ChannelGetPosition(music, kPosByte), -1);
}

TEST_F(LibraryTest, ModulesRenderAtTheDeviceRateUnlessAskedOtherwise) {
    modules_["song.mod"] = Ramp(44100, 2, 100);
    for (auto [freq, rate] : {std::pair{1u, 44100}, {0u, 44100}, {48000u, 48000}}) {
        EXPECT_NE(library_.MusicLoad(false, "song.mod", 0, 0, 0, freq), 0u);
        EXPECT_EQ(moduleRate_, rate);
    }
}

TEST_F(LibraryTest, AFileThatOpensInNeitherFormGetsOneLineWithBothReasons) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(library_.StreamCreateFile(false, "Resource/x.mp3", 0, 0, 0), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a failed stream alone is silent";

    testing::internal::CaptureStderr();
    EXPECT_EQ(library_.MusicLoad(false, "Resource/x.mp3", 0, 0, kMusicRamp, 1), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Resource/x.mp3: cannot play: not a stream (no header), not a module (no patterns)\n");

    testing::internal::CaptureStderr();
    EXPECT_EQ(library_.MusicLoad(false, "Resource/x.mp3", 0, 0, kMusicRamp, 1), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Resource/x.mp3: cannot play: not a module (no patterns)\n");

    modules_["song.mod"] = Ramp(44100, 2, 100);
    testing::internal::CaptureStderr();
    EXPECT_EQ(library_.StreamCreateFile(false, "song.mod", 0, 0, 0), 0u);
    EXPECT_NE(library_.MusicLoad(false, "song.mod", 0, 0, kMusicRamp, 1), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace audio
