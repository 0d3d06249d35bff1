#include "tools/soundtrack/score.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <string>

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

// ---------------------------------------------------------------------------------------------------------
// The notation.
//
// Drums and bass: one character a sixteenth, the pattern repeating through its section. Drums: X accent,
// x normal, o soft, '.' rest, and '*' an open hat on the hat line. Bass: x the chord's root, o its octave,
// '-' holds, '.' rests.
//
// Lines of notes: tokens one every `step` sixteenths, each a note name (F#4), notes struck together (A4+C#6),
// '-' holding the note before or '.' a rest. Bells repeat their line through the section; the horn plays its
// line once. '|' marks a bar line for the reader and takes no time.
// ---------------------------------------------------------------------------------------------------------
namespace {

struct Drums {
    const char* kick = "";
    const char* snare = "";
    const char* hat = "";
    const char* ping = "";
    const char* boom = "";
};

struct Line {
    int step = 2;
    const char* notes = "";
    float velocity = 1.0f;  // the runs of sixteenths are struck lighter
};

struct Section {
    int bar;             // the section lasts until the next one's bar
    const char* chords;  // one a bar, repeating
    Drums drums;
    const char* bass;
    Line bells;
    Line horn;
    Line secondHorn;   // a horn in harmony or octaves under the first
    float pad;         // level of the pad
    float brightness;  // the pad's filter, Hz
    float wind;        // level of the wind
    float level;       // of every voice but the bells: the section's loudness
    float hit;   // a crash this strong on the first beat, a phrase's arrival; drums and bass break on the
                 // beat before it
    bool ramp;   // brightness and wind ramp to the next section's values instead of changing on its bar
    bool swell;  // a noise swell over the last two beats and a roll on the last, into the next
                 // section
};

struct Chord {
    const char* name;
    int bass;
    std::array<int, 6> pad;  // 0 past the last note
};

// Voicings that keep off G#4 to B4, the notes on and beside the first picture band (the pad passes the band
// stop), and off C#3, whose third partial would sit beside it.
constexpr Chord kChords[] = {
    {"F#m", 42, {54, 57, 61, 66, 73}},        // F#3 A3 C#4 F#4 C#5
    {"D", 38, {50, 54, 57, 61, 66}},          // D3 F#3 A3 C#4 F#4, a major seventh
    {"A", 45, {52, 57, 61, 64, 73}},          // E3 A3 C#4 E4 C#5
    {"A/C#", 37, {52, 57, 61, 64, 76}},       // E3 A3 C#4 E4 E5 over C#
    {"E", 40, {52, 56, 59, 64, 76}},          // E3 G#3 B3 E4 E5
    {"E/G#", 44, {52, 59, 64, 66, 76}},       // E3 B3 E4 F#4 E5 over G#, an added ninth
    {"Bm", 35, {50, 54, 59, 62, 66}},         // D3 F#3 B3 D4 F#4
    {"Dm", 38, {50, 53, 57, 62, 65}},         // D3 F3 A3 D4 F4, borrowed from the minor
    {"C#m", 37, {52, 56, 61, 64, 76}},        // E3 G#3 C#4 E4 E5
    {"C#", 37, {53, 56, 59, 61, 65}},         // E#3 G#3 B3 C#4 E#4, the dominant seventh
    {"F#m11", 30, {54, 57, 59, 61, 64, 73}},  // F#3 A3 B3 C#4 E4 C#5 over a low F#1
};

// --- Drums ---------------------------------------------------------------------------------------------
constexpr Drums kFrost{.ping = "x.......o.......|....x.......o..."};
constexpr Drums kDrips{.ping = "x...o...x...o...|x...o...x.o.x..."};
constexpr Drums kHallDrum{.ping = "....x.......x...", .boom = "X.......x.......|X.......x.....x."};
constexpr Drums kKickHats{.kick = "X...x...X...x...", .hat = "X.x...X...x...X."};
constexpr Drums kFourFloor{
    .kick = "X...x...X...x...", .snare = "....X.......X...", .hat = "..x...X...x...X."};
constexpr Drums kTurn{.kick = "X...x...X...x...", .snare = "....X.......XoXX", .hat = "..x...X...x...X."};
constexpr Drums kOpenFloor{
    .kick = "X...x...X...x...", .snare = "....X.......X...", .hat = "X.xox.xoX.xox.x*"};
constexpr Drums kRideFloor{.kick = "X...x...X...x...",
                           .snare = "....X.......X...|....X.......X.o.",
                           .hat = "X.x*x.x*X.x*x.x*",
                           .ping = "..........x....."};
constexpr Drums kDrive{.kick = "X...x...X...x..o", .snare = "....X.......X..o", .hat = "X.x*x.x.X.x*x.xo"};
constexpr Drums kSummitDrums{
    .kick = "X...o...x...o..o", .snare = "....x.......x..o", .hat = "X.x*x.x.X.x*x.xo"};
constexpr Drums kShuffle{.kick = "X.....x...X.....|X.....x...X...x.",
                         .snare = "....X.......X...",
                         .hat = "x.ox.ox.x.ox.ox.",
                         .ping = "......x.......x."};
constexpr Drums kShuffleOpen{.kick = "X.....x...X.....|X.....x...X...x.",
                             .snare = "....X.......X...|....X.......X.oo",
                             .hat = "X.o*x.o*X.o*x.o*",
                             .boom = "X...............|........x......."};
constexpr Drums kSoftHalf{.kick = "X.........x.....", .hat = "..x...x...x...o.", .ping = "........x......."};
constexpr Drums kIce{.ping = "x.....o.....x...|..o.....x...o..."};
constexpr Drums kIceBoom{.ping = "x.....o.....x...|..o.....x...o...",
                         .boom = "X...............|........x......."};
constexpr Drums kRise{.kick = "X...............|................",
                      .snare = "........o...o.o.|x.x.x.x.x.x.XxXx",
                      .ping = "x...x...x...x..."};
constexpr Drums kClimb{
    .kick = "X...x...X...x...", .snare = "..x...x...x...x.|x.x.x.x.x.x.x.x.", .hat = "xoxoxoxoxoxoxoxo"};
constexpr Drums kEdge{
    .kick = "X...X...X...X...", .snare = "x.x.x.x.x.x.x.x.|XxXxXxXxXXXXXXXX", .hat = "X.x.x.x.X.x.x.x."};
constexpr Drums kFinale{.ping = "....x...........", .boom = "x..............."};

// --- Bass ------------------------------------------------------------------------------------------------
constexpr const char* kNoBass = "";
constexpr const char* kDrone = "x---------------";
constexpr const char* kPulse = "x-x-x-x-x-x-x-x-";
constexpr const char* kGroove = "x..x..x.x..x..o.";
constexpr const char* kLong = "x-------x-----o-";
constexpr const char* kOctaves = "x.o.x.o.x.o.x.ox";
constexpr const char* kSkip = "x-----x---o-x---|x-----x---o-x-o-";

// --- Bells: A4 and C#6 (the first two picture bands) woven through every chord ----------------------------
constexpr Line kTolls{4, "A4 . C#6 . | F#5 . E5 ."};
constexpr Line kTollsFs{4, "A4 . C#6 . | A4 . C#6 ."};
constexpr Line kTollsBmD{4, "A4 . C#6 . | A4 . F#5 .", 0.8f};
constexpr Line kDew{2, "A4 . . C#6 . . F#5 . | . . E5 . A4 . . . | C#6 . . . A4 . C#5 . | . . . . C#6 . . .",
                    0.8f};
constexpr Line kDewAE{2, "C#6 . . A4 . . E5 . | . . B4 . C#6 . . . | A4 . . . E5 . C#6 . | . . . . B4 . A4 .",
                      0.8f};
constexpr Line kBellsCall{2, "A4 C#5 F#5 C#6 A5 F#5 C#5 F#5 | A4 - G#4 B4 E5 C#6 B4 E5"};   // D E
constexpr Line kBellsPulse{2, "A4 B4 D5 C#6 A4 B4 F#5 D5 | G#4 C#5 F5 C#6 A4 C#5 F5 G#5"};  // Bm C#
constexpr Line kBellsFsD{2, "A4 C#5 F#5 C#6 A4 C#5 E5 C#5 | A4 D5 F#5 C#6 A4 D5 E5 F#5"};
constexpr Line kBellsAE{2, "A4 C#5 E5 C#6 A4 C#5 E5 B4 | A4 - G#4 B4 E5 C#6 E5 B4"};
constexpr Line kBellsBmD{2, "A4 B4 D5 C#6 A4 B4 F#5 D5 | A4 D5 F#5 C#6 A4 D5 F#5 E5"};
constexpr Line kBellsEC{2, "A4 - G#4 B4 E5 C#6 E5 B4 | G#4 C#5 F5 C#6 G#5 F5 C#5 G#4"};
constexpr Line kSyncoAE{2, "A4 . C#6 . . E5 . B4 | . A4 . . C#6 . E5 .", 0.8f};
constexpr Line kSyncoBmD{2, "A4 . . D5 . C#6 . . | F#5 . . A4 . C#6 . D5"};
constexpr Line kBellsFsCsm{2, "A4 C#5 F#5 C#6 A4 C#5 F#5 E5 | G#4 C#5 E5 C#6 G#4 C#5 E5 G#5", 0.8f};
constexpr Line kBellsDE{2, "A4 D5 F#5 C#6 A4 D5 F#5 E5 | A4 - G#4 B4 E5 C#6 E5 B4"};
constexpr Line kBellsCs{2, "G#4 C#5 F5 C#6 G#5 F5 C#5 A4"};
constexpr Line kBellsTheme{2,
                           "A4 C#5 F#5 C#6 A4 C#5 E5 C#5 | A4 D5 F#5 C#6 A4 D5 E5 F#5 | "
                           "A4 C#5 E5 C#6 A4 C#5 E5 B4 | A4 - G#4 B4 E5 C#6 E5 B4"};  // F#m D A E
constexpr Line kLiftBells{2, "A4 . C#6 E5 . A4 C#6 . | B4 . C#6 E5 . G#4 . C#6"};     // A E/G#
constexpr Line kLiftBellsFsDm{2, "A4 . C#6 F#5 . A4 . C#6 | A4 . D5 F5 . A4 C#6 ."};  // F#m Dm
constexpr Line kLiftRun{1,
                        "A4 C#5 E5 A5 C#6 A5 E5 C#5 A4 C#5 E5 A5 C#6 A5 E5 C#5 | "
                        "A4 D5 F#5 A5 C#6 A5 F#5 D5 A4 D5 F#5 A5 C#6 A5 F#5 D5",
                        0.7f};                                                          // A/C# D
constexpr Line kLiftTurn{2, "A4 B4 D5 C#6 F#5 D5 B4 A4 | G#4 B4 E5 C#6 G#5 E5 B4 A4"};  // Bm E
constexpr Line kRunAE{1,
                      "A4 C#5 E5 C#6 E5 C#5 A4 C#5 E5 C#6 E5 C#5 A4 C#5 E5 C#6 | "
                      "A4 B4 E5 C#6 E5 B4 G#4 B4 E5 C#6 E5 B4 G#4 B4 E5 C#6",
                      0.7f};
constexpr Line kRunClimb{1,
                         "A4 B4 D5 F#5 C#6 F#5 D5 B4 A4 B4 D5 F#5 C#6 F#5 D5 B4 | "
                         "A4 D5 F#5 A5 C#6 A5 F#5 D5 A4 D5 F#5 A5 C#6 A5 F#5 D5 | "
                         "A4 B4 E5 G#5 C#6 G#5 E5 B4 G#4 B4 E5 G#5 C#6 G#5 E5 B4 | "
                         "G#4 C#5 F5 G#5 C#6 G#5 F5 C#5 G#4 C#5 F5 G#5 C#6 G#5 F5 C#5",
                         0.7f};                                                                  // Bm D E C#
constexpr Line kRunEdge{1, "G#4 C#5 F5 G#5 C#6 G#5 F5 C#5 A4 C#5 F5 G#5 C#6 G#5 F5 C#5", 0.7f};  // C#
constexpr Line kRunSummit{1,
                          "A4 C#5 F#5 A5 C#6 A5 F#5 C#5 A4 C#5 F#5 A5 C#6 A5 F#5 C#5 | "
                          "A4 D5 F#5 A5 C#6 A5 F#5 D5 A4 D5 F#5 A5 C#6 A5 F#5 D5 | "
                          "A4 C#5 E5 A5 C#6 A5 E5 C#5 A4 C#5 E5 A5 C#6 A5 E5 C#5 | "
                          "A4 B4 E5 G#5 C#6 G#5 E5 B4 A4 B4 E5 G#5 C#6 G#5 E5 B4",
                          0.7f};  // F#m D A E
constexpr Line kLastBells{16, "A4+C#6+F#5", 0.75f};

// --- Horns: the theme and its answer, low and an octave up, kept off G#4 to B4 and C6 to D6 -------------
constexpr Line kNoHorn{};
constexpr Line kTheme1{2, "F#3 - - C#4 - - F#4 - | - - - - E4 - D4 -"};  // over F#m D
constexpr Line kTheme2{2, "C#4 - - - - - E4 - | B3 - - - - - . ."};      // over A E
constexpr Line kTheme3{2, "D4 - - C#4 - - B3 - | F#4 - - - E4 - D4 -"};  // over Bm D
constexpr Line kTheme4{2, "E4 - - - - - F#4 - | F4 - - - - - . ."};      // over E C#
constexpr Line kHigh1{2, "F#4 - - C#5 - - F#5 - | - - - - E5 - D5 -"};
constexpr Line kHighTurn1{2, "C#5 - - F#5 - - A5 - | - - - - G#5 - F#5 -"};  // F#m D, the theme turned upward
constexpr Line kHighTurn2{2, "E5 - - C#5 - - E5 - | G#5 - - - F#5 - E5 -"};  // A E
constexpr Line kHighTurn3{2, "D5 - - F#5 - - B5 - | A5 - - - F#5 - D5 -"};   // Bm D
constexpr Line kHighTurn4{2, "G#5 - - - E5 - - - | F5 - - G#5 - - . ."};     // E C#
constexpr Line kFullTheme{
    2, "F#3 - - C#4 - - F#4 - | - - - - E4 - D4 - | C#4 - - - - - E4 - | B3 - - - - - - -"};
constexpr Line kMarch{2, "F#3 - - C#4 - - F#4 - | - - - - E4 - D4 - | C#4 - - - - - E4 - | B3 - - - - - . ."};
constexpr Line kSummit{2,
                       "F#4 - - C#5 - - F#5 - | - - - - E5 - D5 - | C#5 - - - - - E5 - | E5 - - - - - . ."};
constexpr Line kAnswer{2,
                       "D4 - - C#4 - - B3 - | F#4 - - - E4 - D4 - | E4 - - - - - F#4 - | F4 - - - - - - -"};
constexpr Line kLowAnswer{2, "B3 - - A3 - - F#3 - | A3 - - - - - - - | B3 - - - - - - - | C#4 - - - - - - -"};
constexpr Line kLeading{2, "F4 - - - - - - ."};
constexpr Line kLowTheme4{2, "B3 - - - - - C#4 - | C#4 - - - - - . ."};
constexpr Line kStillCall{2, "C#5 - - - - - - - | D5 - - - C#5 - - -"};    // F#m D, far off
constexpr Line kStillAnswer{2, "E5 - - - - - F#5 - | G#5 - - - - - - -"};  // A E
constexpr Line kLowStill{2, "D4 - - - - - - - | F#4 - - - - - - -"};       // Bm D
constexpr Line kThaw1{2, "C#4 - - - F#4 - - - | - - - - E4 - - -"};        // F#m D
constexpr Line kThaw3{2, "F#4 - - - - - D4 - | - - - - C#4 - B3 -"};       // Bm D
constexpr Line kThawAnswer{2, "B3 - - - D4 - - - | C#4 - - - - - F#3 -"};  // Bm D, the answer low
constexpr Line kLift1{2, "E5 - - - C#5 - E5 - | F#5 - - - E5 - - -"};      // A E/G#
constexpr Line kLift2{2, "C#5 - - - E5 - F#5 - | F5 - - - E5 - D5 -"};     // F#m Dm
constexpr Line kLift3{2, "E5 - - - - - A5 - | F#5 - - - - - . ."};         // A/C# D
constexpr Line kLift4{2, "F#5 - - E5 - - D5 - | C#5 - - - E5 - . ."};      // Bm E
constexpr Line kLiftLow1{2, "C#4 - - - - - - - | B3 - - - - - - -"};
constexpr Line kLiftLow2{2, "C#4 - - - - - - - | D4 - - - - - - -"};
constexpr Line kLiftLow3{2, "C#4 - - - - - - - | D4 - - - - - - -"};
constexpr Line kLiftLow4{2, "D4 - - - - - - - | E4 - - - D4 - - -"};
constexpr Line kHighHold{2, "E5 - - - - - - - | F5 - - - - - - -"};
constexpr Line kLowHeld{2, "B3 - - - - - - - | C#4 - - - - - - -"};
constexpr Line kSigh{2, "D4 - - - - - C#4 - | B3 - - - - - - -"};
constexpr Line kDominant{2, "F4 - - - - - - - | - - - - - - - -"};
constexpr Line kLowRoot{2, "C#4 - - - - - - - | - - - - - - - -"};
constexpr Line kEdgeHigh{2, "F5 - - - - - - -"};
constexpr Line kLowEdge{2, "C#5 - - - - - - -"};
constexpr Line kLastNote{16, "F#4 - - ."};
constexpr Line kLowLast{16, "C#4 - - ."};

// The sections, on the bar lines where the show changes scene (bars 2, 4, 6, 8, 13, 15, ..., 57, 74), with a
// few more inside the long stretches. They make phrases of four to eight bars: a crash marks only a phrase's
// arrival, and inside a phrase the groove runs on while a new part, a new pattern or the harmony marks each
// change. Hz is the pad's filter; level scales every voice but the bells.
// clang-format off
constexpr Section kSections[] = {
    // bar chords       drums         bass      bells           horn          second horn  pad  Hz    wind level hit  ramp   swell
    // Beginning: frost, a call, the theme from afar, the pulse, then the theme.
    {0,   "F#m",        kFrost,       kNoBass,  kTolls,         kNoHorn,      kNoHorn,     0.6, 450,  0.6, 0.45, 0.0, false, true},
    {2,   "D E",        kDrips,       kDrone,   kBellsCall,     kNoHorn,      kNoHorn,     0.8, 650,  0.9, 0.65, 0.0, false, true},
    {4,   "F#m D",      kHallDrum,    kDrone,   kTollsFs,       kNoHorn,      kTheme1,     0.9, 800,  0.7, 0.75, 0.0, false, true},
    {6,   "Bm C#",      kKickHats,    kPulse,   kBellsPulse,    kNoHorn,      kLowHeld,    0.9, 900,  0.5, 0.8,  0.0, false, false},
    {8,   "F#m D A E",  kFourFloor,   kGroove,  kBellsTheme,    kFullTheme,   kNoHorn,     1.0, 3000, 0.3, 1.0,  1.0, false, true},
    {12,  "C#",         kTurn,        kGroove,  kBellsCs,       kLeading,     kLowRoot,    1.0, 3000, 0.3, 1.0,  0.0, false, false},
    // The theme high over one groove for eight bars, a part added at each change.
    {13,  "F#m D",      kFourFloor,   kGroove,  kTolls,         kHigh1,       kNoHorn,     1.0, 2200, 0.3, 0.85, 0.9, false, false},
    {15,  "A E",        kOpenFloor,   kGroove,  kBellsAE,       kTheme2,      kNoHorn,     1.0, 2600, 0.2, 0.85, 0.0, false, true},
    {17,  "Bm D",       kOpenFloor,   kGroove,  kSyncoBmD,      kTheme3,      kLowStill,   1.0, 3000, 0.2, 0.88, 0.0, false, true},
    {19,  "E C#",       kDrive,       kOctaves, kBellsEC,       kTheme4,      kLowTheme4,  1.0, 3500, 0.2, 0.88, 0.0, false, true},
    // Stillness: the horns far off in the hall, a drum entering at each change.
    {21,  "F#m D",      kIce,         kDrone,   kDew,           kStillCall,   kNoHorn,     1.0, 500,  0.6, 0.45, 0.0, false, true},
    {23,  "A E",        kIceBoom,     kDrone,   kDewAE,         kStillAnswer, kNoHorn,     1.0, 600,  0.6, 0.45, 0.0, false, true},
    {25,  "Bm D",       kSoftHalf,    kLong,    kTollsBmD,      kNoHorn,      kThaw3,      1.0, 900,  0.8, 0.6,  0.0, false, true},
    {27,  "E C#",       kRise,        kPulse,   kBellsEC,       kHighHold,    kLowHeld,    1.0, 1200, 0.6, 0.7,  0.0, true,  false},
    // The groove again, the theme turned upward with the horns doubled.
    {29,  "F#m D",      kDrive,       kOctaves, kBellsFsD,      kHighTurn1,   kTheme1,     0.9, 3500, 0.2, 0.85, 1.0, false, true},
    {31,  "A E",        kRideFloor,   kOctaves, kRunAE,         kHighTurn2,   kTheme2,     0.9, 3500, 0.2, 0.85, 0.0, false, true},
    {33,  "Bm D",       kDrive,       kOctaves, kBellsBmD,      kHighTurn3,   kTheme3,     0.9, 3800, 0.2, 0.85, 0.0, false, true},
    {35,  "E C#",       kRideFloor,   kOctaves, kBellsEC,       kHighTurn4,   kTheme4,     0.9, 4000, 0.2, 0.85, 0.0, false, false},
    // A lift into A major: a shuffle, a new tune, a borrowed minor chord, and back by way of E.
    {37,  "A E/G#",     kShuffle,     kSkip,    kLiftBells,     kLift1,       kLiftLow1,   1.0, 2500, 0.3, 0.8,  0.9, false, true},
    {39,  "F#m Dm",     kShuffle,     kSkip,    kLiftBellsFsDm, kLift2,       kLiftLow2,   1.0, 2200, 0.3, 0.8,  0.0, false, true},
    {41,  "A/C# D",     kShuffleOpen, kSkip,    kLiftRun,       kLift3,       kLiftLow3,   1.0, 3000, 0.3, 0.82, 0.0, false, true},
    {43,  "Bm E",       kShuffleOpen, kSkip,    kLiftTurn,      kLift4,       kLiftLow4,   1.0, 3000, 0.3, 0.82, 0.0, false, true},
    // The thaw: stillness and a lighter beat in turns.
    {45,  "F#m D",      kIce,         kDrone,   kDew,           kThaw1,       kNoHorn,     1.0, 450,  0.6, 0.45, 0.0, false, true},
    {47,  "A E",        kSoftHalf,    kLong,    kSyncoAE,       kNoHorn,      kNoHorn,     1.0, 1500, 0.6, 0.45, 0.0, false, true},
    {49,  "Bm D",       kIceBoom,     kDrone,   kTollsBmD,      kThawAnswer,  kNoHorn,     1.0, 500,  0.6, 0.45, 0.0, false, true},
    {51,  "F#m C#m",    kSoftHalf,    kLong,    kBellsFsCsm,    kNoHorn,      kLowHeld,    1.0, 1500, 0.6, 0.5,  0.0, false, true},
    // A climb to the dominant.
    {53,  "D E",        kRise,        kPulse,   kBellsDE,       kSigh,        kNoHorn,     1.0, 700,  0.7, 0.75, 0.0, false, true},
    {55,  "C#",         kEdge,        kOctaves, kBellsCs,       kDominant,    kLowRoot,    1.0, 3500, 0.2, 0.9,  0.0, false, false},
    // The end: from stillness, four bars at a time up to the summit, where the picture burns to white.
    {57,  "F#m D A E",  kIce,         kPulse,   kTolls,         kNoHorn,      kNoHorn,     1.0, 500,  0.8, 0.65, 0.8, true,  false},
    {61,  "F#m D A E",  kKickHats,    kGroove,  kBellsTheme,    kMarch,       kNoHorn,     1.0, 1000, 0.5, 0.8,  0.0, true,  false},
    {65,  "Bm D E C#",  kClimb,       kOctaves, kRunClimb,      kAnswer,      kLowAnswer,  1.3, 2000, 0.4, 0.95, 0.0, true,  false},
    {69,  "C#",         kEdge,        kOctaves, kRunEdge,       kEdgeHigh,    kLowEdge,    1.0, 3500, 0.3, 1.0,  0.0, false, false},
    {70,  "F#m D A E",  kSummitDrums, kOctaves, kRunSummit,     kSummit,      kMarch,      1.3, 4000, 0.3, 1.05, 1.0, false, false},
    // The last chord, held under the white scene.
    {74,  "F#m11",      kFinale,      kNoBass,  kLastBells,     kLastNote,    kLowLast,    1.0, 1800, 0.6, 0.9,  0.8, true,  false},
};
// clang-format on

// The notation is checked as the program is built: a chord, note or stroke that does not read does not build.
constexpr bool EveryWord(std::string_view text, bool (*reads)(std::string_view)) {
    for (size_t at = text.find_first_not_of(" |"); at != std::string_view::npos;
         at = text.find_first_not_of(" |", at)) {
        const size_t end = std::min(text.find_first_of(" |", at), text.size());
        if (!reads(text.substr(at, end - at))) return false;
        at = end;
    }
    return true;
}
constexpr bool IsChord(std::string_view name) {
    return std::any_of(std::begin(kChords), std::end(kChords),
                       [&](const Chord& chord) { return name == chord.name; });
}
constexpr bool IsStroke(std::string_view word) {
    if (word == "-" || word == ".") return true;
    for (size_t at = 0; at <= word.size();) {
        const size_t plus = std::min(word.find('+', at), word.size());
        if (ParseNote(word.substr(at, plus - at)) < 0) return false;
        at = plus + 1;
    }
    return true;
}
constexpr bool Uses(std::string_view pattern, std::string_view symbols) {
    return pattern.find_first_not_of(symbols) == std::string_view::npos;
}
constexpr bool Reads(const Section& section) {
    const Drums& drums = section.drums;
    return EveryWord(section.chords, IsChord) && EveryWord(section.bells.notes, IsStroke) &&
           EveryWord(section.horn.notes, IsStroke) && EveryWord(section.secondHorn.notes, IsStroke) &&
           Uses(drums.kick, "Xxo.|") && Uses(drums.snare, "Xxo.|") && Uses(drums.hat, "Xxo*.|") &&
           Uses(drums.ping, "Xxo.|") && Uses(drums.boom, "Xxo.|") && Uses(section.bass, "xo-.|");
}
static_assert(std::all_of(std::begin(kSections), std::end(kSections), Reads), "the score does not read");

// Noise swells that rise into the section after them, from bar to bar.
constexpr std::array<std::array<int, 2>, 4> kRisers = {{{12, 13}, {27, 29}, {53, 57}, {65, 70}}};

constexpr double kPieceSeconds = 210.0;
constexpr double kLastChordSeconds = 206.5;  // the last chord is let go here and rings on past the show's end

const Chord& FindChord(std::string_view name) {
    for (const Chord& chord : kChords) {
        if (name == chord.name) return chord;
    }
    return kChords[0];
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    for (size_t at = 0; at < text.size();) {
        const size_t start = text.find_first_not_of(" |", at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of(" |", start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

// The characters of a pattern without its bar marks.
std::string Steps(std::string_view pattern) {
    std::string steps;
    std::copy_if(pattern.begin(), pattern.end(), std::back_inserter(steps), [](char c) { return c != '|'; });
    return steps;
}

// Strokes on the beats are stronger than between them.
float Accent(int64_t step) {
    if (step % 16 == 0) return 1.0f;
    if (step % 8 == 0) return 0.92f;
    if (step % 4 == 0) return 0.85f;
    return step % 2 == 0 ? 0.77f : 0.7f;
}

float DrumVelocity(char symbol) {
    switch (symbol) {
        case 'X':
            return 1.0f;
        case 'x':
        case '*':
            return 0.75f;
        case 'o':
            return 0.45f;
        default:
            return 0.0f;
    }
}

class Composer {
public:
    explicit Composer(Score& score) : score_(score) {}

    // The section, from its bar to `endBar`; its held notes end by `end`. When the next section starts with a
    // hit, the drums and the bass break on the last beat before it.
    void Add(const Section& section, int endBar, int64_t end, bool breakBeforeNext) {
        level_ = section.level;
        const int64_t start = section.bar * kBar;
        const int64_t steps = (endBar - section.bar) * 16;
        const int64_t drumSteps = breakBeforeNext || section.swell ? steps - 4 : steps;
        AddDrums(section.drums.kick, Voice::Kick, start, drumSteps);
        AddDrums(section.drums.snare, Voice::Snare, start, drumSteps);
        AddDrums(section.drums.boom, Voice::Boom, start, drumSteps);
        AddDrums(section.drums.hat, Voice::Hat, start, drumSteps);
        AddDrums(section.drums.ping, Voice::Ping, start, drumSteps);
        // Into a change inside a phrase, the beat gives way on the last beat to a light roll under a swell.
        if (section.swell) {
            Push(Voice::Riser, endBar * kBar - 8 * kStep, 8 * kStep, 0.0, 0.35f);
            for (int64_t step = drumSteps; step < steps && *section.drums.snare != 0; ++step)
                Push(Voice::Snare, start + step * kStep, kStep, 0.0,
                     0.15f + 0.05f * static_cast<float>(step - drumSteps));
        }
        if (section.hit > 0.0f) Push(Voice::Crash, start, kBar, 0.0, section.hit);
        AddBass(section, start, breakBeforeNext ? steps - 4 : steps);  // the bass plays through a roll
        AddPad(section, end);
        AddLine(section.bells, Voice::Bell, start, steps, true);
        AddLine(section.horn, Voice::Horn, start, steps, false);
        AddLine(section.secondHorn, Voice::SecondHorn, start, steps, false);
        score_.brightness.Set(start, section.brightness, section.ramp);
        score_.wind.Set(start, section.wind, section.ramp);
    }

private:
    // The strokes written for the pictures keep their strength in the quiet sections.
    void Push(Voice voice, int64_t start, int64_t length, double pitch, float velocity) {
        const bool stroke = voice == Voice::Bell || voice == Voice::Ping;
        score_.events.push_back({voice, start, length, pitch, stroke ? velocity : velocity * level_});
    }

    void AddDrums(std::string_view pattern, Voice voice, int64_t start, int64_t steps) {
        const std::string line = Steps(pattern);
        if (line.empty()) return;
        for (int64_t step = 0; step < steps; ++step) {
            const char symbol = line[static_cast<size_t>(step) % line.size()];
            if (DrumVelocity(symbol) == 0.0f) continue;
            const Voice played = voice == Voice::Hat && symbol == '*' ? Voice::OpenHat : voice;
            Push(played, start + step * kStep, kStep, 0.0, DrumVelocity(symbol));
        }
    }

    void AddBass(const Section& section, int64_t start, int64_t steps) {
        const std::string line = Steps(section.bass);
        if (line.empty()) return;
        const std::vector<std::string_view> chords = Words(section.chords);
        for (int64_t step = 0; step < steps; ++step) {
            const char symbol = line[static_cast<size_t>(step) % line.size()];
            if (symbol != 'x' && symbol != 'o') continue;
            int64_t length = 1;
            while (step + length < steps && line[static_cast<size_t>(step + length) % line.size()] == '-')
                ++length;
            const Chord& chord = FindChord(chords[static_cast<size_t>(step / 16) % chords.size()]);
            Push(Voice::Bass, start + step * kStep, length * kStep, chord.bass + (symbol == 'o' ? 12 : 0),
                 Accent(step));
        }
    }

    // A chord a bar; a note that the next chord keeps is held on rather than struck again.
    void AddPad(const Section& section, int64_t end) {
        if (section.pad <= 0.0f) return;
        const std::vector<std::string_view> chords = Words(section.chords);
        const int64_t first = section.bar * kBar;
        for (int64_t bar = first, index = 0; bar < end; bar += kBar, ++index) {
            const Chord& chord = FindChord(chords[static_cast<size_t>(index) % chords.size()]);
            const int64_t length = std::min(kBar, end - bar);
            for (const int pitch : chord.pad) {
                if (pitch == 0) break;
                const auto held = heldPad_.find(pitch);
                if (held != heldPad_.end()) {
                    Event& event = score_.events[held->second];
                    if (event.start + event.length == bar && event.velocity == section.pad) {
                        event.length += length;
                        continue;
                    }
                }
                heldPad_[pitch] = score_.events.size();
                Push(Voice::Pad, bar, length, pitch, section.pad);
            }
        }
    }

    void AddLine(const Line& line, Voice voice, int64_t start, int64_t steps, bool repeat) {
        const std::vector<std::string_view> words = Words(line.notes);
        if (words.empty()) return;
        const int64_t count = repeat ? steps / line.step : static_cast<int64_t>(words.size());
        for (int64_t i = 0; i < count; ++i) {
            const std::string_view word = words[static_cast<size_t>(i) % words.size()];
            if (word == "-" || word == ".") continue;
            int64_t length = 1;
            while (i + length < count && words[static_cast<size_t>(i + length) % words.size()] == "-")
                ++length;
            const int64_t step = i * line.step;
            // Bells are struck with a hand that varies from stroke to stroke; horns follow the section's
            // level.
            const float shade = 0.8f + 0.05f * static_cast<float>((i * 7 + start / kStep) % 5);
            float velocity = voice == Voice::Bell ? Accent(step) * shade * line.velocity : Accent(step);
            if (voice == Voice::Horn || voice == Voice::SecondHorn) velocity = 1.0f;
            for (const std::string_view note : NotesOf(word)) {
                Push(voice, start + step * kStep, length * line.step * kStep, ParseNote(note), velocity);
            }
        }
    }

    static std::vector<std::string_view> NotesOf(std::string_view word) {
        std::vector<std::string_view> notes;
        for (size_t at = 0; at <= word.size();) {
            const size_t plus = std::min(word.find('+', at), word.size());
            notes.push_back(word.substr(at, plus - at));
            at = plus + 1;
        }
        return notes;
    }

    Score& score_;
    float level_ = 1.0f;             // of the section being added
    std::map<int, size_t> heldPad_;  // pitch: the pad event that last played it
};

}  // namespace

void Curve::Set(int64_t frame, double value, bool rampToNext) {
    points_.push_back({frame, value, rampToNext});
}

double Curve::At(int64_t frame) const {
    const auto next = std::upper_bound(points_.begin(), points_.end(), frame,
                                       [](int64_t f, const Point& point) { return f < point.frame; });
    if (next == points_.begin()) return points_.empty() ? 0.0 : points_.front().value;
    const Point& point = *std::prev(next);
    if (!point.ramp || next == points_.end()) return point.value;
    const double t =
        static_cast<double>(frame - point.frame) / static_cast<double>(next->frame - point.frame);
    return point.value + (next->value - point.value) * t;
}

Score Compose() {
    Score score;
    score.frames = Frames(kPieceSeconds);
    Composer composer(score);
    for (size_t i = 0; i < std::size(kSections); ++i) {
        const bool last = i + 1 == std::size(kSections);
        const int endBar = last ? kSections[i].bar + 1 : kSections[i + 1].bar;
        const int64_t end = last ? Frames(kLastChordSeconds) : endBar * kBar;
        composer.Add(kSections[i], endBar, end, !last && kSections[i + 1].hit > 0.0f);
    }
    // The curves end where the piece does.
    score.brightness.Set(score.frames, 300.0, false);
    score.wind.Set(score.frames, 0.0, false);
    for (const auto& [from, to] : kRisers)
        score.events.push_back({Voice::Riser, from * kBar, (to - from) * kBar, 0.0, 1.0f});
    std::stable_sort(score.events.begin(), score.events.end(),
                     [](const Event& a, const Event& b) { return a.start < b.start; });
    return score;
}

}  // namespace soundtrack
