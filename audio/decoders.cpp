#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <utility>

#include "audio/sdl_platform.h"

namespace audio {
namespace {

constexpr size_t kChunkFrames = 16384;

DecodeResult Success(DecodedTrack track) {
    if (track.Frames() == 0) return DecodeResult::Failure("no audio in it");
    return {std::make_shared<const DecodedTrack>(std::move(track)), {}};
}

// libsndfile decodes MP3 with libmpg123, which writes its notes straight to standard error. The library
// reports a track it cannot open in one line of its own, so standard error is muted while libsndfile works.
class MutedStderr {
public:
    MutedStderr() {
        std::fflush(stderr);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null < 0) return;
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (saved_ >= 0) dup2(null, STDERR_FILENO);
        close(null);
    }
    ~MutedStderr() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    MutedStderr(const MutedStderr&) = delete;
    MutedStderr& operator=(const MutedStderr&) = delete;

private:
    int saved_ = -1;
};

}  // namespace

DecodeResult DecodeStream(const char* path) {
    const MutedStderr muted;
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) return DecodeResult::Failure(sf_strerror(nullptr));
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(file, sf_close);

    DecodedTrack track{{}, info.channels, info.samplerate};
    if (track.channels <= 0 || track.sampleRate <= 0) return DecodeResult::Failure("no audio format");
    // The frame count is only a hint for some formats (MP3): read until the decoder runs dry.
    for (sf_count_t read = 1; read > 0;) {
        const size_t size = track.samples.size();
        track.samples.resize(size + kChunkFrames * track.channels);
        read = sf_readf_float(file, track.samples.data() + size, kChunkFrames);
        track.samples.resize(size + static_cast<size_t>(read) * track.channels);
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) return DecodeResult::Failure(sf_strerror(file));
    track.samples.shrink_to_fit();
    return Success(std::move(track));
}

DecodeResult DecodeModule(const char* path, int rate) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return DecodeResult::Failure(std::strerror(errno));
    try {
        std::ostringstream log;  // libopenmpt's notes stay off standard error
        openmpt::module module(in, log);
        module.set_repeat_count(0);
        module.ctl_set_text("play.at_end", "stop");

        DecodedTrack track{{}, 2, rate};
        track.samples.reserve(static_cast<size_t>(module.get_duration_seconds() * rate + 1) * 2);
        for (size_t read = 1; read > 0;) {
            const size_t size = track.samples.size();
            track.samples.resize(size + kChunkFrames * 2);
            read = module.read_interleaved_stereo(rate, kChunkFrames, track.samples.data() + size);
            track.samples.resize(size + read * 2);
        }
        return Success(std::move(track));
    } catch (const std::exception& e) {
        return DecodeResult::Failure(e.what());
    }
}

}  // namespace audio
