#include <fcntl.h>
#include <mpg123.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <libopenmpt/libopenmpt.hpp>
#include <ostream>
#include <utility>
#include <vector>

#include "audio/sdl/platform.h"

namespace audio {
namespace {

// A module is read whole: no real one comes near this.
constexpr off_t kMaxModuleBytes = off_t{64} << 20;

// A file descriptor, closed with its owner.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// `path` opened for reading if it is a regular file that holds something; else no descriptor, with the
// reason. The open does not block whatever the file is (a FIFO would wait for a writer).
Fd OpenRegularFile(const char* path, off_t& size, std::string& error) {
    Fd fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        error = std::strerror(errno);
        return Fd();
    }
    struct stat status {};
    if (fstat(fd.get(), &status) != 0) {
        error = std::strerror(errno);
        return Fd();
    }
    if (S_ISDIR(status.st_mode))
        error = "a folder, not a file";
    else if (!S_ISREG(status.st_mode))
        error = "not a regular file";
    else if (status.st_size == 0)
        error = "the file is empty";
    if (!error.empty()) return Fd();
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    size = status.st_size;
    return fd;
}

class SndfileDecoder final : public Decoder {
public:
    SndfileDecoder(Fd fd, SNDFILE* file, const SF_INFO& info)
        : fd_(std::move(fd)), file_(file), info_(info) {}
    ~SndfileDecoder() override { sf_close(file_); }

    int Channels() const override { return info_.channels; }
    int SampleRate() const override { return info_.samplerate; }
    // The frame count is only a hint for some formats (MP3): read until the decoder runs dry.
    int64_t Read(float* out, int64_t frames, std::string& error) override {
        if (done_) return 0;
        const sf_count_t read = sf_readf_float(file_, out, frames);
        if (read < frames) {
            done_ = true;
            if (sf_error(file_) != SF_ERR_NO_ERROR)
                error = std::string("decoding stopped: ") + sf_strerror(file_);
        }
        return std::max<sf_count_t>(read, 0);
    }
    bool Seek(int64_t frame) override { return sf_seek(file_, frame, SEEK_SET) == frame; }

private:
    Fd fd_;  // closed after libsndfile lets it go
    SNDFILE* file_;
    SF_INFO info_;
    bool done_ = false;
};

// MPEG audio decoded as libsndfile would decode it (float, gapless), but without libmpg123's notes on
// standard error. Decoding stops at damaged data: what lies beyond it could pass for frames of another
// format, noise. Streams joined end to end play one after the other while their rate and channels stay those
// of the first; decoding stops where they change.
class Mpg123Decoder final : public Decoder {
public:
    static OpenResult Open(Fd fd) {
        int code = MPG123_OK;
        mpg123_handle* handle = mpg123_new(nullptr, &code);
        if (handle == nullptr) return OpenResult::Failure(mpg123_plain_strerror(code));
        auto decoder = std::unique_ptr<Mpg123Decoder>(new Mpg123Decoder(std::move(fd), handle));
        mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
        mpg123_param(handle, MPG123_ADD_FLAGS,
                     MPG123_QUIET | MPG123_FORCE_FLOAT | MPG123_GAPLESS | MPG123_NO_RESYNC, 0.0);
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_open_fd(handle, decoder->fd_.get()) != MPG123_OK) {
            return OpenResult::Failure(mpg123_strerror(handle));
        }
        if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) {
            return OpenResult::Failure("not a format it knows");  // no frame decodes: not MPEG after all
        }
        // Every rate and channel count is taken as it is, so that a change shows as a new format.
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        decoder->rate_ = static_cast<int>(rate);
        decoder->channels_ = channels == MPG123_STEREO ? 2 : 1;
        return {std::move(decoder), {}};
    }
    ~Mpg123Decoder() override {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }

    int Channels() const override { return channels_; }
    int SampleRate() const override { return rate_; }
    int64_t Read(float* out, int64_t frames, std::string& error) override {
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(channels_);
        int64_t got = 0;
        while (!done_ && got < frames) {
            size_t bytes = 0;
            const int result = mpg123_read(handle_, out + got * channels_,
                                           static_cast<size_t>(frames - got) * frameBytes, &bytes);
            got += static_cast<int64_t>(bytes / frameBytes);
            if (result == MPG123_OK) continue;
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(handle_, &rate, &channels, &encoding);
                if (rate == rate_ && channels == channels_) continue;
                error = "decoding stopped: the next stream is " + std::to_string(rate) + " Hz " +
                        (channels == 1 ? "mono" : "stereo");
            } else if (result != MPG123_DONE) {
                error = std::string("decoding stopped: ") + mpg123_strerror(handle_);
            }
            done_ = true;
        }
        return got;
    }
    // Exact to the frame: the stream is scanned, without decoding, up to a few MPEG frames before it, and
    // those are decoded, so that the decoder's state there is as if it had decoded everything before.
    bool Seek(int64_t frame) override {
        constexpr int64_t kLeadIn = 4 * 1152;
        const int64_t from = std::max<int64_t>(frame - kLeadIn, 0);
        if (mpg123_seek(handle_, static_cast<off_t>(from), SEEK_SET) != from) return false;
        std::vector<float> skipped(static_cast<size_t>(kLeadIn * channels_));
        std::string error;
        return Read(skipped.data(), frame - from, error) == frame - from;
    }

private:
    Mpg123Decoder(Fd fd, mpg123_handle* handle) : fd_(std::move(fd)), handle_(handle) {}

    Fd fd_;  // closed after libmpg123 lets it go
    mpg123_handle* handle_;
    int rate_ = 0, channels_ = 0;
    bool done_ = false;
};

class OpenmptDecoder final : public Decoder {
public:
    OpenmptDecoder(const std::vector<std::uint8_t>& data, int rate) : module_(data, quiet_), rate_(rate) {
        module_.set_repeat_count(0);
        module_.ctl_set_text("play.at_end", "stop");
    }

    int Channels() const override { return 2; }
    int SampleRate() const override { return rate_; }
    int64_t Read(float* out, int64_t frames, std::string&) override {
        return static_cast<int64_t>(module_.read_interleaved_stereo(rate_, static_cast<size_t>(frames), out));
    }

private:
    std::ostream quiet_{nullptr};  // libopenmpt's notes go nowhere
    openmpt::module module_;
    int rate_;
};

// True when the file holds MPEG audio as libsndfile would take it: a frame's sync at its start, or right
// after an ID3v2 tag. libsndfile would hand such a file to libmpg123 with its notes on standard error, so it
// is given to libmpg123 directly, quietly, and to libsndfile never.
bool LooksLikeMpeg(int fd) {
    unsigned char head[10] = {};
    if (pread(fd, head, sizeof head, 0) != sizeof head) return false;
    off_t at = 0;
    if (std::memcmp(head, "ID3", 3) == 0) {
        at =
            10 + ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F));
        if (head[5] & 0x10) at += 10;  // a footer follows the tag
        if (pread(fd, head, 2, at) != 2) return false;
    }
    return head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
}

}  // namespace

OpenResult OpenStream(const char* path) {
    std::string error;
    off_t size = 0;
    Fd fd = OpenRegularFile(path, size, error);
    if (fd.get() < 0) return OpenResult::Failure(error);
    if (LooksLikeMpeg(fd.get())) return Mpg123Decoder::Open(std::move(fd));
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd.get(), SFM_READ, &info, SF_FALSE);
    if (file == nullptr) {
        // The file is regular and holds something: libsndfile's text for some files it does not know, which
        // blames missing files and pipes, would mislead.
        const char* reason = sf_strerror(nullptr);
        if (sf_error(nullptr) == SF_ERR_UNRECOGNISED_FORMAT ||
            std::strstr(reason, "possibly a pipe") != nullptr) {
            reason = "not a format it knows";
        }
        return OpenResult::Failure(reason);
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(file);
        return OpenResult::Failure("no audio format");
    }
    return {std::make_unique<SndfileDecoder>(std::move(fd), file, info), {}};
}

OpenResult OpenModule(const char* path, int rate) {
    std::string error;
    off_t size = 0;
    const Fd fd = OpenRegularFile(path, size, error);
    if (fd.get() < 0) return OpenResult::Failure(error);
    try {
        // The header first, so that a large file of another kind is not read whole.
        std::vector<std::uint8_t> data(
            std::min<size_t>(openmpt::probe_file_header_get_recommended_size(), static_cast<size_t>(size)));
        ssize_t got = pread(fd.get(), data.data(), data.size(), 0);
        if (got < 0) return OpenResult::Failure(std::strerror(errno));
        data.resize(static_cast<size_t>(got));
        if (openmpt::probe_file_header(openmpt::probe_file_header_flags_default2, data.data(), data.size(),
                                       static_cast<std::uint64_t>(size)) ==
            openmpt::probe_file_header_result_failure) {
            return OpenResult::Failure("not a module format it knows");
        }
        if (size > kMaxModuleBytes) {
            return OpenResult::Failure(std::to_string(size >> 20) + " MiB, more than any module (at most " +
                                       std::to_string(kMaxModuleBytes >> 20) + " MiB)");
        }
        data.resize(static_cast<size_t>(size));
        for (size_t done = 0; done < data.size(); done += static_cast<size_t>(got)) {
            got = pread(fd.get(), data.data() + done, data.size() - done, static_cast<off_t>(done));
            if (got < 0) return OpenResult::Failure(std::strerror(errno));
            if (got == 0) {
                data.resize(done);
                break;
            }
        }
        return {std::make_unique<OpenmptDecoder>(data, rate), {}};
    } catch (const std::bad_alloc&) {
        return OpenResult::Failure("out of memory");
    } catch (const std::exception& e) {
        return OpenResult::Failure(e.what());
    }
}

DecodeResult DecodeStream(const char* path) {
    return DecodeAll(OpenStream(path));
}

DecodeResult DecodeModule(const char* path, int rate) {
    return DecodeAll(OpenModule(path, rate));
}

}  // namespace audio
