#include "demo/music.h"

#include <cstdio>
#include <utility>

Music::Music(audio::AudioLibrary& library, std::string track) : library_(library), track_(std::move(track)) {
    if ((library_.GetVersion() >> 16) == (audio::kVersion >> 16)) {
        ok = library_.Init(audio::kDefaultDevice, audio::kDeviceRate, 0, nullptr, nullptr);
    }
    if (!ok) std::fputs("faild play music", stdout);
}

bool Music::Load() {
    if (!ok) return false;
    library_.MusicFree(handle);
    library_.StreamFree(handle);
    handle = library_.StreamCreateFile(false, track_.c_str(), 0, 0, 0);
    if (handle != 0) return true;
    handle = library_.MusicLoad(false, track_.c_str(), 0, 0, audio::kMusicRamp, 1);
    return handle != 0;
}
