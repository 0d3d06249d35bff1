#include "audio/decoder.h"

#include <algorithm>
#include <vector>

namespace audio {
namespace {

class InMemory final : public Decoder {
public:
    explicit InMemory(std::shared_ptr<const DecodedTrack> track) : track_(std::move(track)) {}
    int Channels() const override { return track_->channels; }
    int SampleRate() const override { return track_->sampleRate; }
    int64_t Read(float* out, int64_t frames, std::string&) override {
        const int64_t count = std::clamp<int64_t>(track_->Frames() - next_, 0, frames);
        const float* from = track_->samples.data() + next_ * track_->channels;
        std::copy(from, from + count * track_->channels, out);
        next_ += count;
        return count;
    }

private:
    std::shared_ptr<const DecodedTrack> track_;
    int64_t next_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> MemoryDecoder(std::shared_ptr<const DecodedTrack> track) {
    return std::make_unique<InMemory>(std::move(track));
}

std::string FormatProblem(int channels, int rate) {
    if (channels <= 0 || rate <= 0) return "no audio format";
    if (rate > kMaxSampleRate) return "a rate of " + std::to_string(rate) + " Hz, beyond any track's";
    if (channels > kMaxChannels) return std::to_string(channels) + " channels, beyond any track's";
    return {};
}

DecodeResult DecodeAll(OpenResult opened, int64_t maxFrames, int64_t firstFrame) {
    if (!opened.decoder) return DecodeResult::Failure(std::move(opened.error));
    Decoder& decoder = *opened.decoder;
    DecodedTrack track{{}, decoder.Channels(), decoder.SampleRate()};
    if (std::string problem = FormatProblem(track.channels, track.sampleRate); !problem.empty())
        return DecodeResult::Failure(std::move(problem));
    constexpr int64_t kBlockFrames = 16384;
    std::string error;
    int64_t passed = 0;
    try {
        std::vector<float> skipped(firstFrame > 0 ? static_cast<size_t>(kBlockFrames * track.channels) : 0);
        for (int64_t read = 1; read > 0 && passed < firstFrame; passed += read) {
            std::string problem;
            read = decoder.Read(skipped.data(), std::min(kBlockFrames, firstFrame - passed), problem);
            if (!problem.empty()) error = std::move(problem);
        }
        for (int64_t read = 1; read > 0 && track.Frames() < maxFrames;) {
            const size_t size = track.samples.size();
            const int64_t want = std::min(kBlockFrames, maxFrames - track.Frames());
            track.samples.resize(size + static_cast<size_t>(want * track.channels));
            std::string problem;
            read = decoder.Read(track.samples.data() + size, want, problem);
            if (!problem.empty()) error = std::move(problem);
            track.samples.resize(size + static_cast<size_t>(read * track.channels));
        }
    } catch (const std::bad_alloc&) {
        return DecodeResult::Failure("out of memory");
    }
    if (passed + track.Frames() == 0) return DecodeResult::Failure(error.empty() ? "no audio in it" : error);
    track.samples.shrink_to_fit();
    return {std::make_shared<const DecodedTrack>(std::move(track)), std::move(error)};
}

}  // namespace audio
