// Where a video's frames go: an H.264 video encoded by the ffmpeg program, or numbered PNGs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Takes one RGB frame, top row first; false, with the reason in Error(), when it cannot.
    virtual bool Write(const uint8_t* rgb) = 0;
    // Completes the output; false when it could not. Without it the destructor removes what was written.
    virtual bool Finish() = 0;
    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

// A quick encode to look at, or one to publish: a slower preset at a lower CRF, and the sound at a higher
// rate.
enum class VideoQuality { Preview, Release };

struct VideoSpan {
    int width, height, fps;
    double from, seconds;  // the span of the show the frames cover, for the audio
    VideoQuality quality;
};

// Pipes raw RGB frames into ffmpeg, which encodes them as H.264 in BT.709 limited range (converted and tagged
// so, as players decode HD video) with the track muxed in, cut to the same span, and silence where the track
// has ended, into a partial file beside `output` made at once; the index comes first in the file, so that a
// web player can start before the whole file is there. Before that, a trial run of ffmpeg on one blank frame
// checks that it takes the size, the rate and the track. Null, with the reason in `error`, when the partial
// file cannot be made or ffmpeg cannot be started or refuses.
std::unique_ptr<FrameSink> OpenVideo(const std::string& output, const std::string& track,
                                     const VideoSpan& span, std::string& error);
// Writes frame_000000.png, frame_000001.png, ... into a new folder beside `dir`, which become the frames of
// `dir` (made if missing) once finished, replacing those of an earlier run; other files there stay.
std::unique_ptr<FrameSink> OpenFrames(const std::string& dir, int width, int height, std::string& error);

// From here on SIGINT, SIGTERM and SIGHUP (unless ignored) only stop a video: the frame at hand is finished,
// ffmpeg is stopped and nothing is kept. Blocking calls they break off see EINTR.
void CatchStopSignals();
// The stopping signal received, or 0.
int StopSignal();
