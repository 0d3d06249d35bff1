// MP3 files through libmp3lame.
#pragma once

#include <span>
#include <string>

namespace soundtrack {

// Writes interleaved stereo float frames at 44100 Hz to `path` as MP3: 192 kbps constant bit rate, joint
// stereo, with the encoder's info tag in the first frame. The tag gives decoders the encoder's delay and
// padding, so the decoded track has exactly the frames given. Returns an empty string, or what went wrong.
std::string WriteMp3(const std::string& path, std::span<const float> interleaved);

}  // namespace soundtrack
