#include "tools/soundtrack/mp3.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tools/partial_file.h"

namespace soundtrack {
namespace {

constexpr int kRate = 44100;
constexpr int kKbps = 192;
constexpr int kQuality = 3;  // lame's scale, 0 best to 9 fastest
constexpr size_t kChunkFrames = 1152 * 64;

}  // namespace

std::string WriteMp3(const std::string& path, std::span<const float> interleaved) {
    const std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) return "cannot start the MP3 encoder";
    lame_set_in_samplerate(lame.get(), kRate);
    lame_set_out_samplerate(lame.get(), kRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kKbps);
    lame_set_quality(lame.get(), kQuality);
    lame_set_bWriteVbrTag(lame.get(), 1);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0) return "the MP3 encoder refuses its settings";

    // The encoder writes a placeholder frame first, where the info tag goes once the length is known.
    std::vector<unsigned char> stream;
    std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * kChunkFrames + 7200));
    const size_t frames = interleaved.size() / 2;
    for (size_t start = 0; start < frames; start += kChunkFrames) {
        const size_t count = std::min(kChunkFrames, frames - start);
        const int written = lame_encode_buffer_interleaved_ieee_float(
            lame.get(), interleaved.data() + 2 * start, static_cast<int>(count), buffer.data(),
            static_cast<int>(buffer.size()));
        if (written < 0) return "the MP3 encoder failed";
        stream.insert(stream.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) return "the MP3 encoder failed";
    stream.insert(stream.end(), buffer.begin(), buffer.begin() + flushed);
    const size_t tag = lame_get_lametag_frame(lame.get(), buffer.data(), buffer.size());
    if (tag == 0 || tag > stream.size()) return "the MP3 encoder gave no info tag";
    std::copy_n(buffer.begin(), tag, stream.begin());

    // Written beside the target under a name of its own and renamed over it, so that no half-written track
    // is ever left at `path`.
    std::string error;
    const std::unique_ptr<PartialFile> partial = PartialFile::Create(path, error);
    if (partial == nullptr) return error;
    if (std::fwrite(stream.data(), 1, stream.size(), partial->File()) != stream.size())
        return std::strerror(errno);
    return partial->Commit(error) ? std::string() : error;
}

}  // namespace soundtrack
