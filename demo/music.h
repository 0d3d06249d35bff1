// The show's track: the audio device, and the channel the track plays on.
#pragma once

#include <string>

#include "audio/audio_library.h"
#include "scenes/show_frame.h"

class Music {
public:
    // Opens the default output device at 44100 Hz if the library is of the right version; without a device
    // writes "faild play music" to standard output and stays silent.
    explicit Music(audio::AudioLibrary& library, std::string track = kTrackPath);
    // Opens the track as a stream, else as a tracker module; true when a channel was had.
    bool Load();

    audio::Handle handle = 0;  // the track's channel; 0 when there is none
    bool ok = false;           // the device was initialised

private:
    audio::AudioLibrary& library_;
    std::string track_;
};
