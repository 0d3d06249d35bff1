// The piece as events and slow curves, and the little notation its sections are written in.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace soundtrack {

enum class Voice {
    Kick,
    Boom,  // a low hall drum
    Snare,
    Hat,
    OpenHat,
    Crash,
    Ping,  // a glassy stroke on the top picture band
    Bell,
    Bass,
    Pad,
    Horn,
    SecondHorn,  // a horn under the first, in octaves or harmony
    Riser,       // filtered noise sweeping up to the next section
};

struct Event {
    Voice voice;
    int64_t start;   // frame
    int64_t length;  // frames the note is held
    double pitch;    // MIDI note number, for the voices that have one
    float velocity;  // 0 to 1
};

// A value that moves under the notes: set at points, each of which holds or ramps to the next.
class Curve {
public:
    void Set(int64_t frame, double value, bool rampToNext);
    double At(int64_t frame) const;

private:
    struct Point {
        int64_t frame;
        double value;
        bool ramp;
    };
    std::vector<Point> points_;
};

struct Score {
    int64_t frames = 0;
    std::vector<Event> events;  // in order of start
    Curve wind;                 // level of the wind, 0 to 1
    Curve brightness;           // the pad's filter, Hz
};

// The MIDI number of a note name: "C4" is 60, "F#3" 54, "Bb2" 46; -1 when it is not one.
constexpr int ParseNote(std::string_view name) {
    constexpr int kSemitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
    int semitone = kSemitones[name[0] - 'A'];
    size_t at = 1;
    if (name[at] == '#' || name[at] == 'b') semitone += name[at++] == '#' ? 1 : -1;
    if (at + 1 != name.size() || name[at] < '0' || name[at] > '9') return -1;
    return 12 * (name[at] - '0' + 1) + semitone;
}

// The whole piece.
Score Compose();

}  // namespace soundtrack
