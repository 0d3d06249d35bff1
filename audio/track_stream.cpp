#include "audio/track_stream.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <system_error>
#include <utility>

namespace audio {
namespace {

constexpr int64_t kBlockFrames = 4096;  // decoded at a time, outside the lock

constexpr int64_t Seconds(double seconds, int rate) {
    return static_cast<int64_t>(seconds * rate);
}

// Even the largest format keeps what playback waits for before it starts.
static_assert(Seconds(TrackStream::kStartSeconds, kMaxSampleRate) + kBlockFrames <=
              static_cast<int64_t>(TrackStream::kMaxRingBytes / (sizeof(float) * kMaxChannels)));

int64_t RingFrames(int rate, int channels) {
    return std::min(Seconds(TrackStream::kAheadSeconds + TrackStream::kHistorySeconds, rate) + kBlockFrames,
                    static_cast<int64_t>(TrackStream::kMaxRingBytes / (sizeof(float) * channels)));
}

}  // namespace

TrackStream::TrackStream(std::unique_ptr<Decoder> decoder, std::string name, int64_t first)
    : decoder_(std::move(decoder)),
      name_(std::move(name)),
      channels_(decoder_->Channels()),
      rate_(decoder_->SampleRate()),
      capacity_(RingFrames(rate_, channels_)),
      // The history's share of the ring, as in a ring of full length.
      history_(
          std::min(Seconds(kHistorySeconds, rate_),
                   static_cast<int64_t>(capacity_ * kHistorySeconds / (kAheadSeconds + kHistorySeconds)))),
      ring_(static_cast<size_t>(capacity_ * channels_)),
      end_(first),
      released_(first),
      skip_(first) {
#ifndef __EMSCRIPTEN__
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        throw std::system_error(e.code(), "no decoding thread could be started");
    }
#endif
}

#ifdef __EMSCRIPTEN__
TrackStream::~TrackStream() = default;

void TrackStream::AwaitDecoded(int64_t frames, std::chrono::milliseconds) {
    Fill(frames);
}

void TrackStream::Fill(int64_t frames) {
    const std::lock_guard lock(mutex_);
    if (ended_ || stop_) return;
    try {
        std::vector<float> block(static_cast<size_t>(kBlockFrames * channels_));
        SkipToStart(block);
        while (!ended_ && end_ < frames && end_ + kBlockFrames - capacity_ <= released_) {
            // Frames still on their way are read by a later call, not as silence now.
            const int64_t available = std::min(kBlockFrames, decoder_->Available());
            if (available <= 0) break;
            std::string error;
            const int64_t read = decoder_->Read(block.data(), available, error);
            Append(block, read, error);
            ended_ = read <= 0;
        }
    } catch (const std::bad_alloc&) {
        Report("out of memory; decoding stopped");
        ended_ = true;
    } catch (const std::exception& e) {
        Report(std::string("decoding stopped: ") + e.what());
        ended_ = true;
    }
    if (ended_) decoder_.reset();
}
#else
TrackStream::~TrackStream() {
    Stop();
    thread_.join();
}

void TrackStream::AwaitDecoded(int64_t frames, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    const auto ready = [&] { return ended_ || stop_ || end_ >= frames; };
    if (limit == std::chrono::milliseconds::max()) {
        changed_.wait(lock, ready);
    } else {
        changed_.wait_for(lock, limit, ready);
    }
}
#endif

void TrackStream::Copy(int64_t first, int64_t count, float* out) const {
    const std::lock_guard lock(mutex_);
    const int64_t from = std::max({first, end_ - capacity_, int64_t{0}});
    const int64_t to = std::min(first + count, end_);
    std::fill(out, out + count * channels_, 0.0f);
    for (int64_t frame = from; frame < to;) {
        // The frames up to the ring's wrap, in one piece.
        const int64_t slot = frame % capacity_;
        const int64_t run = std::min(to - frame, capacity_ - slot);
        std::copy_n(&ring_[static_cast<size_t>(slot * channels_)], run * channels_,
                    out + (frame - first) * channels_);
        frame += run;
    }
}

void TrackStream::Release(int64_t frame) {
    {
        const std::lock_guard lock(mutex_);
        if (frame <= released_) return;
        released_ = frame;
    }
    changed_.notify_all();
}

void TrackStream::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
}

bool TrackStream::EndedBefore(int64_t frame) const {
    const std::lock_guard lock(mutex_);
    return ended_ && frame >= end_;
}

#ifndef __EMSCRIPTEN__
void TrackStream::Run() {
    try {
        std::vector<float> block(static_cast<size_t>(kBlockFrames * channels_));
        SkipToStart(block);
        for (;;) {
            std::string error;
            const int64_t read = decoder_->Read(block.data(), kBlockFrames, error);
            std::unique_lock lock(mutex_);
            // Room for the block without overwriting a frame still wanted.
            changed_.wait(lock, [&] { return stop_ || end_ + read - capacity_ <= released_; });
            if (stop_) break;
            Append(block, read, error);
            if (read <= 0) break;
            lock.unlock();
            changed_.notify_all();
        }
    } catch (const std::bad_alloc&) {
        const std::lock_guard lock(mutex_);
        Report("out of memory; decoding stopped");
    } catch (const std::exception& e) {
        const std::lock_guard lock(mutex_);
        Report(std::string("decoding stopped: ") + e.what());
    }
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
    decoder_.reset();  // on this thread, which is the one that read it
}
#endif

void TrackStream::SkipToStart(std::vector<float>& block) {
    if (skip_ == 0 || decoder_->Seek(std::exchange(skip_, 0))) return;
    std::string error;
    for (int64_t at = 0; at < end_;) {
        const int64_t read = decoder_->Read(block.data(), std::min(kBlockFrames, end_ - at), error);
        if (read <= 0) return;
        at += read;
    }
}

void TrackStream::Append(const std::vector<float>& block, int64_t read, const std::string& error) {
    for (int64_t i = 0; i < read; ++i) {
        std::copy_n(&block[static_cast<size_t>(i * channels_)], channels_,
                    &ring_[static_cast<size_t>((end_ + i) % capacity_ * channels_)]);
    }
    end_ += std::max<int64_t>(read, 0);
    if (!error.empty()) Report(error);
}

// One line for each thing that went wrong, at the time in the track where it did.
void TrackStream::Report(const std::string& what) const {
    std::fprintf(stderr, "%s: at %.3f s: %s\n", name_.c_str(), static_cast<double>(end_) / rate_,
                 what.c_str());
}

}  // namespace audio
