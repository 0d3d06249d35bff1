// The library over a fake output device whose render callback the tests call themselves, on a clock the tests
// set.
#include "audio/library.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>
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

// A stereo track that decodes 1000 frames of 0.5, then runs out of memory.
struct StarvedDecoder final : Decoder {
    int Channels() const override { return 2; }
    int SampleRate() const override { return 44100; }
    int64_t Read(float* out, int64_t frames, std::string&) override {
        if (reads++ > 0) throw std::bad_alloc();
        std::fill(out, out + 2 * std::min<int64_t>(frames, 1000), 0.5f);
        return std::min<int64_t>(frames, 1000);
    }
    int reads = 0;
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
                    if (std::string(path) == "starved")
                        return OpenResult{std::make_unique<StarvedDecoder>(), {}};
                    const auto it = streams_.find(path);
                    return it != streams_.end() ? OpenResult{MemoryDecoder(it->second), {}}
                                                : OpenResult::Failure("no header");
                },
                [this](const char* path, int rate) {
                    moduleRate_ = rate;
                    const auto it = modules_.find(path);
                    return it != modules_.end() ? OpenResult{MemoryDecoder(it->second), {}}
                                                : OpenResult::Failure("no patterns");
                },
                [this] { return now_; }};
    }

    Handle Stream(std::shared_ptr<const DecodedTrack> track) {
        streams_["track"] = std::move(track);
        return library_.StreamCreateFile(false, "track", 0, 0, 0);
    }

    // A device callback at the clock's present time, `queued` frames of the ones before still in the device.
    std::vector<float> Callback(int frames, int queued) {
        std::vector<float> out(2 * frames, -9.0f);
        output_->render(out.data(), frames, queued);
        return out;
    }
    // A device that plays what it is given at once: a callback, and the clock on to the end of its frames.
    std::vector<float> Render(int frames) {
        std::vector<float> out = Callback(frames, 0);
        now_ += std::chrono::nanoseconds((frames * int64_t{1'000'000'000} + 44099) / 44100);
        return out;
    }

    // The stereo 44100 Hz channel's position in frames.
    int64_t Frame(Handle handle) { return library_.ChannelGetPosition(handle, kPosByte) / 4; }

    std::map<std::string, std::shared_ptr<const DecodedTrack>> streams_, modules_;
    int moduleRate_ = 0;
    std::chrono::nanoseconds now_{0};
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

TEST_F(LibraryTest, FinishedChannelCountsOnThroughSilenceUntilRestarted) {
    const Handle handle = Stream(Ramp(44100, 2, 300));
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    const std::vector<float> out = Render(1024);
    EXPECT_EQ(out[2 * 299], 598 / 1000.0f);
    EXPECT_EQ(out[2 * 300], 0.0f) << "silence after the end";
    const std::vector<float> after = Render(1024);
    EXPECT_EQ(after, std::vector<float>(2 * 1024, 0.0f));
    EXPECT_EQ(Frame(handle), 2048) << "a short track does not stop the clock";
    ASSERT_TRUE(library_.ChannelPlay(handle, false)) << "played to its end: starts again";
    EXPECT_EQ(Frame(handle), 0);
    EXPECT_EQ(Render(1)[0], 0.0f);
    EXPECT_EQ(Render(1)[0], 2 / 1000.0f);

    ASSERT_TRUE(library_.ChannelPlay(handle, false)) << "still playing: nothing changes";
    EXPECT_EQ(Frame(handle), 2);
    ASSERT_TRUE(library_.ChannelPlay(handle, true));
    EXPECT_EQ(Frame(handle), 0);
    Render(100);
    EXPECT_EQ(Frame(handle), 100);
}

// Callbacks of a fixed size, each at the moment the device wants it and with one buffer still queued, on the
// test's clock: the position between them follows that clock exactly.
TEST_F(LibraryTest, PositionIsTheFrameHeardAdvancedByTheClockBetweenCallbacks) {
    using std::chrono::nanoseconds;
    constexpr int64_t kSecond = 1'000'000'000;
    const Handle handle = Stream(Ramp(44100, 2, 44100));
    ASSERT_TRUE(library_.ChannelPlay(handle, false));

    int64_t mixedBefore = 0;
    for (const int64_t burst : {1024, 4096}) {
        SCOPED_TRACE(burst);
        const int64_t held = Frame(handle);  // where the round before left it
        const nanoseconds start = now_;
        const auto callbackAt = [&](int64_t k) { return start + nanoseconds(k * burst * kSecond / 44100); };
        // After callback k the device has played the frames mixed before the buffer it still holds.
        const auto heardAt = [&](int64_t k, nanoseconds t) {
            return mixedBefore + (k - 1) * burst + (t - callbackAt(k)).count() * 44100 / kSecond;
        };
        int64_t callbacks = 0, previous = -1;
        // Queries 16.7 ms apart for a third of a second.
        for (nanoseconds t = start; t < start + nanoseconds(kSecond / 3); t += nanoseconds(16'700'000)) {
            while (callbackAt(callbacks) <= t) {
                now_ = callbackAt(callbacks++);
                Callback(static_cast<int>(burst), static_cast<int>(burst));
            }
            now_ = t;
            const int64_t frame = Frame(handle);
            const int64_t k = callbacks - 1;
            EXPECT_EQ(frame, std::max(held, std::min(heardAt(k, t), mixedBefore + k * burst)))
                << t.count() << " ns";
            if (previous >= 0 && t - start > nanoseconds(2 * burst * kSecond / 44100)) {
                EXPECT_NEAR(frame - previous, 0.0167 * 44100, 1.0) << "16.7 ms apart, whatever the buffer";
            }
            EXPECT_GE(frame, previous) << "never backwards";
            previous = frame;
        }

        // The device stalls: the position runs to the end of the buffer it plays and holds there.
        const int64_t mixed = mixedBefore + callbacks * burst;
        now_ += nanoseconds(kSecond);
        EXPECT_EQ(Frame(handle), mixed - burst);
        now_ += nanoseconds(kSecond);
        EXPECT_EQ(Frame(handle), mixed - burst) << "held while stalled";
        // It resumes from there.
        Callback(static_cast<int>(burst), static_cast<int>(burst));
        EXPECT_EQ(Frame(handle), mixed - burst);
        now_ += nanoseconds(kSecond / 100);
        EXPECT_EQ(Frame(handle), mixed - burst + 441);
        now_ += nanoseconds(kSecond);
        EXPECT_EQ(Frame(handle), mixed) << "never past the frames mixed";
        mixedBefore = mixed + burst;
    }
}

TEST_F(LibraryTest, PositionLeavesOutWhatTheDeviceStillHolds) {
    const Handle handle = Stream(Ramp(44100, 2, 44100));
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    // Callbacks 1024 frames apart on the clock; each time the frames handed over before, less those queued.
    const auto period = std::chrono::nanoseconds((1024 * int64_t{1'000'000'000} + 44099) / 44100);
    const auto next = [&](int queued) {
        Callback(1024, queued);
        const int64_t atCallback = Frame(handle);
        now_ += period;
        return atCallback;
    };
    EXPECT_EQ(next(1024), 0) << "nothing played yet";
    EXPECT_EQ(Frame(handle), 0) << "the first buffer is only queued";
    EXPECT_EQ(next(1024), 0);
    EXPECT_EQ(next(1024), 1024);
    EXPECT_EQ(next(3000), 1024) << "a deeper queue: held, never backwards";
    EXPECT_EQ(Frame(handle), 3072 - 3000 + 1024) << "one callback's frames on from its anchor";
    EXPECT_EQ(next(0), 4096);

    // The spectrum is taken where the listener is, not where the mix is.
    Callback(1024, 512);
    now_ += std::chrono::milliseconds(10);
    EXPECT_EQ(Frame(handle), 5120 - 512 + 441);
    std::vector<float> heard(kSpectrumBins), expected(kSpectrumBins);
    ASSERT_EQ(library_.ChannelGetData(handle, heard.data(), kDataFFT2048), kSpectrumBins * 4);
    Spectrum(*Ramp(44100, 2, 44100), 5120 - 512 + 441, expected.data());
    EXPECT_EQ(heard, expected);
}

TEST_F(LibraryTest, ADeviceThatPlaysTheTracksItselfOnlyCountsTheFrames) {
    // The browser's device passes no buffer: the frames count as played, nothing is mixed, and the position
    // and the decoding move on as far, here well past what the channel had decoded when it started.
    const auto track = Ramp(44100, 2, 10 * 44100);
    const Handle handle = Stream(track);
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    output_->render(nullptr, 1000, -1000);
    EXPECT_EQ(Frame(handle), 1000);
    const int64_t later = 1000 + 6 * 44100;
    output_->render(nullptr, 6 * 44100, -6 * 44100);
    EXPECT_EQ(Frame(handle), later);
    std::vector<float> heard(kSpectrumBins), expected(kSpectrumBins);
    ASSERT_EQ(library_.ChannelGetData(handle, heard.data(), kDataFFT2048), kSpectrumBins * 4);
    Spectrum(*track, later, expected.data());
    EXPECT_EQ(heard, expected);
}

TEST_F(LibraryTest, RunningOutOfMemoryWhileDecodingEndsTheTrackWithOneLine) {
    testing::internal::CaptureStderr();
    const Handle handle = library_.StreamCreateFile(false, "starved", 0, 0, 0);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    const std::vector<float> out = Render(2048);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "starved: at 0.023 s: out of memory; decoding stopped\n");
    EXPECT_EQ(out[2 * 999], 0.5f);
    EXPECT_EQ(out[2 * 1000], 0.0f) << "then silence";
    EXPECT_EQ(Frame(handle), 2048);
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

// A new position moves the sound, the position and the spectrum together, at once, whether the channel plays
// or not; the position holds it until the frames from there are heard, and goes on from there.
TEST_F(LibraryTest, SetPositionMovesSoundPositionAndSpectrumAtOnce) {
    const auto track = Ramp(44100, 2, 100000);
    const Handle handle = Stream(track);
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    Render(1000);
    ASSERT_TRUE(library_.ChannelSetPosition(handle, 50000 * 4, kPosByte));
    EXPECT_EQ(Frame(handle), 50000);
    std::vector<float> heard(kSpectrumBins), expected(kSpectrumBins);
    library_.ChannelGetData(handle, heard.data(), kDataFFT2048);
    Spectrum(*track, 50000, expected.data());
    EXPECT_EQ(heard, expected);

    Callback(1024, 1024);  // mixed from the new position; the device still holds what it had before
    EXPECT_EQ(Frame(handle), 50000) << "held, not moved back by what was queued";
    EXPECT_EQ(Render(1)[0], 100.0f + 2 * 1024 / 1000.0f) << "the frames go on from the new position";

    ASSERT_TRUE(library_.ChannelSetPosition(handle, 10000 * 4, kPosByte));
    EXPECT_EQ(Frame(handle), 10000) << "backwards too";
    EXPECT_EQ(Render(100)[0], 20.0f);
    EXPECT_EQ(Frame(handle), 10100);

    EXPECT_FALSE(library_.ChannelSetPosition(handle, -4, kPosByte));
    EXPECT_FALSE(library_.ChannelSetPosition(handle + 1, 0, kPosByte));
    // A time is rounded up to a whole frame, so that a position set from it never reads as before it.
    const int64_t bytes = library_.ChannelSeconds2Bytes(handle, 5.333333333333334);
    EXPECT_EQ(bytes, 235201 * 4);
    EXPECT_GE(library_.ChannelBytes2Seconds(handle, bytes), 5.333333333333334);
    EXPECT_EQ(library_.ChannelSeconds2Bytes(handle, 16.0), 705600 * 4);
    EXPECT_EQ(library_.ChannelSeconds2Bytes(handle + 1, 16.0), -1);
}

TEST_F(LibraryTest, PauseHoldsThePositionInSilenceAndPlayGoesOnFromThere) {
    const Handle handle = Stream(Ramp(44100, 2, 100000));
    EXPECT_FALSE(library_.ChannelPause(handle)) << "not playing";
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    Render(1000);
    ASSERT_TRUE(library_.ChannelPause(handle));
    EXPECT_EQ(Render(500), std::vector<float>(2 * 500, 0.0f));
    now_ += std::chrono::seconds(1);
    EXPECT_EQ(Frame(handle), 1000);

    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    EXPECT_EQ(Frame(handle), 1000);
    EXPECT_EQ(Render(10)[0], 2.0f);
    EXPECT_EQ(Frame(handle), 1010);

    // Moved while paused: it stays paused, at the new position.
    ASSERT_TRUE(library_.ChannelPause(handle));
    ASSERT_TRUE(library_.ChannelSetPosition(handle, 3000 * 4, kPosByte));
    EXPECT_EQ(Render(10), std::vector<float>(2 * 10, 0.0f));
    EXPECT_EQ(Frame(handle), 3000);
    ASSERT_TRUE(library_.ChannelPlay(handle, false));
    EXPECT_EQ(Render(10)[0], 6.0f);
    // A restart after a pause starts from the first frame.
    ASSERT_TRUE(library_.ChannelPause(handle));
    ASSERT_TRUE(library_.ChannelPlay(handle, true));
    EXPECT_EQ(Frame(handle), 0);
    EXPECT_EQ(Render(10)[0], 0.0f);
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

// A decoder made slow on purpose: a stereo track of 0.25 that decodes its first second, then blocks until the
// test opens the gate, then decodes on to ten seconds.
struct Gate {
    void Open() {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
};

struct GatedDecoder final : Decoder {
    explicit GatedDecoder(std::shared_ptr<Gate> g) : gate(std::move(g)) {}
    int Channels() const override { return 2; }
    int SampleRate() const override { return 44100; }
    int64_t Read(float* out, int64_t frames, std::string&) override {
        if (read >= 44100) {
            std::unique_lock lock(gate->mutex);
            gate->changed.wait(lock, [&] { return gate->open; });
        }
        frames = std::min(frames, (read < 44100 ? 44100 : 441000) - read);
        std::fill(out, out + 2 * frames, 0.25f);
        read += frames;
        return frames;
    }
    std::shared_ptr<Gate> gate;
    int64_t read = 0;
};

// The device waits for decoding as long as it takes; the main thread never does. A callback of five seconds
// waits first for the blocked decoder, then, once the gate opens, for frames the ring cannot hold before the
// callback has mixed: it ends only when the channel is freed.
TEST(MixerTest, QueriesAndFreeingNeverWaitForACallbackThatWaitsForDecoding) {
    const auto gate = std::make_shared<Gate>();
    struct OpenAtExit {
        ~OpenAtExit() { gate->Open(); }  // a failed assertion must not leave the decoder blocked
        std::shared_ptr<Gate> gate;
    } openAtExit{gate};

    std::mutex mutex;
    std::condition_variable changed;
    bool callbackStarted = false, callbackEnded = false;
    // Nothing reads the clock before the device thread's callback does, before it waits: the sign it is in
    // it.
    Mixer mixer(
        [&] {
            const std::lock_guard lock(mutex);
            callbackStarted = true;
            changed.notify_all();
            return std::chrono::steady_clock::now().time_since_epoch();
        },
        std::chrono::milliseconds::max());
    const Handle handle =
        mixer.Add(std::make_shared<TrackStream>(std::make_unique<GatedDecoder>(gate), "gated"),
                  ChannelKind::kStream, {});
    ASSERT_TRUE(mixer.Play(handle, false));

    std::vector<float> out(2 * 5 * 44100);
    std::thread device([&] {
        mixer.Render(out.data(), 5 * 44100, 0);
        const std::lock_guard lock(mutex);
        callbackEnded = true;
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return callbackStarted; });
    }
    int64_t previous = 0;
    for (int query = 0; query < 100; ++query) {
        const std::optional<ChannelState> state = mixer.Find(handle);
        ASSERT_TRUE(state);
        EXPECT_GE(state->frame, previous) << "the clock never goes backwards";
        previous = state->frame;
        EXPECT_EQ(mixer.Stream(handle), state->stream);
    }
    gate->Open();
    EXPECT_TRUE(mixer.Find(handle));
    {
        const std::lock_guard lock(mutex);
        EXPECT_FALSE(callbackEnded) << "the callback still waits for frames";
    }
    EXPECT_TRUE(mixer.Remove(handle, ChannelKind::kStream)) << "which ends its wait";
    device.join();
    EXPECT_EQ(out[0], 0.25f);
    EXPECT_EQ(out.back(), 0.0f) << "never decoded: silence";
}

}  // namespace
}  // namespace audio
