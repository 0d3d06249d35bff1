// Test tracks for the end-to-end tests, and the check of what the disk audio driver wrote.
//   track_tool make FILE SECONDS      a 44100 Hz stereo WAV (or MP3, by FILE's extension) of a quiet sine
//   track_tool compare RAW FILE       RAW (stereo float at 44100 Hz) holds FILE's decoded frames exactly,
//                                     after any leading silence
//   track_tool decode FILE RAW        writes FILE's decoded frames to RAW as interleaved float, as the
//                                     desktop's audio layer decodes them
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

int Make(const char* path, double seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    const bool mp3 = std::strstr(path, ".mp3") != nullptr;
    info.format = mp3 ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III : SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path, SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", path, sf_strerror(nullptr));
        return 1;
    }
    const long frames = std::lround(seconds * kRate);
    std::vector<float> block(2 * 4096);
    for (long start = 0; start < frames; start += 4096) {
        const long count = std::min<long>(4096, frames - start);
        for (long i = 0; i < count; ++i) {
            const double t = static_cast<double>(start + i) / kRate;
            block[2 * i] = static_cast<float>(0.25 * std::sin(2 * M_PI * 440 * t + 0.5));
            block[2 * i + 1] = static_cast<float>(0.25 * std::sin(2 * M_PI * 660 * t + 0.5));
        }
        sf_writef_float(file, block.data(), count);
    }
    sf_close(file);
    return 0;
}

int Compare(const char* rawPath, const char* trackPath) {
    std::ifstream in(rawPath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> raw(bytes.size() / sizeof(float));
    std::memcpy(raw.data(), bytes.data(), raw.size() * sizeof(float));
    SF_INFO info{};
    SNDFILE* file = sf_open(trackPath, SFM_READ, &info);
    if (file == nullptr || info.channels != 2 || info.samplerate != kRate) {
        std::fprintf(stderr, "%s: not a 44100 Hz stereo track\n", trackPath);
        return 1;
    }
    std::vector<float> track(static_cast<size_t>(info.frames) * 2);
    track.resize(static_cast<size_t>(sf_readf_float(file, track.data(), info.frames)) * 2);
    sf_close(file);
    size_t start = 0;
    while (start < raw.size() && raw[start] == 0.0f) ++start;
    start -= start % 2;
    // The show ends once the heard position passes its end: how far past it the device has read by then
    // depends on the scheduling, so what it got is compared, however much of the track that is. Its channel
    // is let go before the device is closed, which may read silence in between: that is not compared.
    size_t end = raw.size();
    while (end > start && raw[end - 1] == 0.0f) --end;
    end += (end - start) % 2;
    const size_t played = std::min(end - start, track.size());
    if (played == 0) {
        std::fprintf(stderr, "the device got only silence\n");
        return 1;
    }
    for (size_t i = 0; i < played; ++i) {
        if (raw[start + i] != track[i]) {
            std::fprintf(stderr, "sample %zu differs: %.9g played, %.9g decoded\n", i, raw[start + i],
                         track[i]);
            return 1;
        }
    }
    std::printf("%zu samples of %zu played as decoded\n", played, track.size());
    return 0;
}

int Decode(const char* trackPath, const char* rawPath) {
    SF_INFO info{};
    SNDFILE* file = sf_open(trackPath, SFM_READ, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", trackPath, sf_strerror(nullptr));
        return 1;
    }
    std::ofstream out(rawPath, std::ios::binary);
    std::vector<float> block(4096 * static_cast<size_t>(info.channels));
    long total = 0;
    // The frame count is only a hint for MP3: read until the decoder runs dry, as the audio layer does.
    for (sf_count_t read; (read = sf_readf_float(file, block.data(), 4096)) > 0; total += read) {
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(read * info.channels * sizeof(float)));
    }
    sf_close(file);
    std::printf("%ld frames of %d channels at %d Hz\n", total, info.channels, info.samplerate);
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "make") return Make(argv[2], std::atof(argv[3]));
    if (argc == 4 && std::string(argv[1]) == "compare") return Compare(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "decode") return Decode(argv[2], argv[3]);
    std::fprintf(
        stderr,
        "usage: track_tool make FILE SECONDS | track_tool compare RAW FILE | track_tool decode FILE RAW\n");
    return 2;
}
