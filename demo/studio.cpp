#include "demo/studio.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include "demo/overlay.h"
#include "scenes/shader_files.h"
#include "shaders/shader_texts.h"

namespace {

namespace fs = std::filesystem;

#define TESSELUNE_SCENE_TEXT(Name, field, kind) shader_text::Name,
constexpr const char* kBuiltInTexts[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_TEXT)};
#undef TESSELUNE_SCENE_TEXT

constexpr char kScheduleFile[] = "scenes/schedule.txt";

// The window layer's key codes (Windows' virtual keys) of the studio's keys.
constexpr int kKeySpace = 0x20, kKeyPageUp = 0x21, kKeyPageDown = 0x22, kKeyHome = 0x24, kKeyLeft = 0x25,
              kKeyRight = 0x27, kKeyLoop = 'L', kKeyOverlay = 0x09;

// The whole file, or false where it cannot be read.
bool ReadFile(const fs::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    if (!in || !(content << in.rdbuf())) return false;
    text = content.str();
    return true;
}

class LiveStudio final : public Studio {
public:
    explicit LiveStudio(fs::path dir);

    void Poll(const std::function<SceneBase*(SceneId)>& scene) override;
    const Schedule& CurrentSchedule() const override { return schedule_; }
    std::string Errors() const override;

    void Attach(audio::AudioLibrary& audio, audio::Handle handle) override {
        audio_ = &audio;
        handle_ = handle;
    }
    void BeforeFrame() override;
    bool OnKey(int key) override;
    void OnPointer(Pointer event, int x, int y, int width, int height) override;
    void AfterFrame(const MusicReading& music, int width, int height) override;

private:
    double Time();
    // Moves the music to `seconds` (within the show), the loop to the slot there where it loops.
    void Seek(double seconds);
    // The start and the end of the slot shown at `time`.
    std::pair<double, double> SlotAt(double time) const;
    // True where a file of the folder has appeared, gone or changed since the last look.
    bool FilesChanged();
    void Rebuild(SceneId id, SceneBase& scene, const std::string& particleDisc);
    void ReadSchedule();
    // Records `error` (empty: mended) for one text, reporting it on standard error when it is new.
    void SetError(std::string& slot, std::string error);

    fs::path dir_;
    std::map<fs::path, std::pair<fs::file_time_type, uintmax_t>> seen_;
    std::array<std::string, kSceneCount> built_;  // the fragment text each scene's program was built from
    std::array<std::string, kSceneCount> sceneErrors_;
    std::string scheduleText_;
    std::string scheduleError_;
    Schedule schedule_;

    audio::AudioLibrary* audio_ = nullptr;
    audio::Handle handle_ = 0;
    bool scrubbing_ = false;  // the pointer was pressed on the strip and is held
    OverlayView view_;
    std::chrono::steady_clock::time_point lastFrame_;
    std::vector<std::chrono::steady_clock::time_point> lastSecond_;  // the frames drawn in the last second
};

// Whether the fragment text read for scene `i`, with `disc` in it taken for the built-in particle disc, is
// the built-in text.
bool SameButForTheDisc(std::string text, const std::string& disc, size_t i) {
    if (const size_t at = text.find(disc); !disc.empty() && at != std::string::npos) {
        text.replace(at, disc.size(), shader_text::ParticleDisc);
    }
    return text == kBuiltInTexts[i];
}

}  // namespace

std::unique_ptr<Studio> OpenStudio(fs::path dir) {
    return std::make_unique<LiveStudio>(std::move(dir));
}

fs::path StudioSourceTree() {
    std::error_code error;
    const fs::path tree = TESSELUNE_SOURCE_DIR;
    return fs::is_directory(tree / "shaders", error) ? tree : fs::path();
}

LiveStudio::LiveStudio(fs::path dir) : dir_(std::move(dir)), schedule_(ShowSchedule()) {
    for (int i = 0; i < kSceneCount; ++i) built_[static_cast<size_t>(i)] = kBuiltInTexts[i];
    scheduleText_ = shader_text::Schedule;
}

bool LiveStudio::FilesChanged() {
    std::map<fs::path, std::pair<fs::file_time_type, uintmax_t>> now;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_ / "shaders", error)) {
        std::error_code ignored;
        now[entry.path()] = {entry.last_write_time(ignored), entry.file_size(ignored)};
    }
    const fs::path schedule = dir_ / kScheduleFile;
    now[schedule] = {fs::last_write_time(schedule, error), fs::file_size(schedule, error)};
    if (now == seen_) return false;
    seen_ = std::move(now);
    return true;
}

void LiveStudio::Poll(const std::function<SceneBase*(SceneId)>& scene) {
    if (!FilesChanged()) return;
    // Scene2's fragment text includes the particle disc, so a change of the disc rebuilds it.
    ShaderFileText disc;
    std::string unread;
    disc.Read(dir_ / "shaders", "particle_disc.glsl", unread);
    for (int i = 0; i < kSceneCount; ++i) {
        const auto id = static_cast<SceneId>(i);
        Rebuild(id, *scene(id), disc.text);
    }
    ReadSchedule();
}

void LiveStudio::Rebuild(SceneId id, SceneBase& scene, const std::string& particleDisc) {
    const size_t i = static_cast<size_t>(id);
    const std::string name = kSceneNames[i];
    ShaderFileText fragment;
    std::string error;
    if (!fragment.Read(dir_ / "shaders", name + ".frag", error))
        return SetError(sceneErrors_[i], name + ": " + error);
    if (fragment.text == built_[i]) return SetError(sceneErrors_[i], "");
    std::string log;
    const uint32_t program = linkProgram(shader_text::Vertex, fragment.text.c_str(), log);
    const char* disc = SameButForTheDisc(fragment.text, particleDisc, i) ? particleDisc.c_str() : nullptr;
    if (program == 0 || !scene.ReplaceProgram(program, disc, log)) {
        return SetError(sceneErrors_[i], name + ": " + fragment.NameLines(log));
    }
    built_[i] = fragment.text;
    SetError(sceneErrors_[i], "");
}

void LiveStudio::ReadSchedule() {
    std::string text;
    if (!ReadFile(dir_ / kScheduleFile, text))
        return SetError(scheduleError_, std::string(kScheduleFile) + ": cannot be read");
    if (text == scheduleText_) return SetError(scheduleError_, "");
    std::string error;
    if (!ParseSchedule(text, kScheduleFile, schedule_, error)) return SetError(scheduleError_, error);
    scheduleText_ = text;
    SetError(scheduleError_, "");
}

void LiveStudio::SetError(std::string& slot, std::string error) {
    if (!error.empty() && error.back() != '\n') error += '\n';
    if (!error.empty() && error != slot) std::fputs(error.c_str(), stderr);
    slot = std::move(error);
}

std::string LiveStudio::Errors() const {
    std::string all;
    for (const std::string& error : sceneErrors_) all += error;
    return all + scheduleError_;
}

double LiveStudio::Time() {
    return audio_
               ? audio_->ChannelBytes2Seconds(handle_, audio_->ChannelGetPosition(handle_, audio::kPosByte))
               : 0.0;
}

void LiveStudio::Seek(double seconds) {
    if (!audio_) return;
    const double time = std::clamp(seconds, 0.0, schedule_.end);
    audio_->ChannelSetPosition(handle_, audio_->ChannelSeconds2Bytes(handle_, time), audio::kPosByte);
    if (view_.looping) view_.loop = SlotAt(time);
}

std::pair<double, double> LiveStudio::SlotAt(double time) const {
    double start = 0.0;
    for (const ScheduleRow& row : schedule_.rows) {
        if (time < row.threshold) return {start, row.threshold};
        start = row.threshold;
    }
    return {start, schedule_.end};
}

void LiveStudio::BeforeFrame() {
    if (!audio_) return;
    const double time = Time();
    if (view_.looping && time >= view_.loop.second) {
        Seek(view_.loop.first);
    } else if (time > schedule_.end && !view_.paused) {
        view_.paused = audio_->ChannelPause(handle_);
    }
}

bool LiveStudio::OnKey(int key) {
    if (key == kKeySpace) {
        if (audio_)
            view_.paused =
                view_.paused ? !audio_->ChannelPlay(handle_, false) : audio_->ChannelPause(handle_);
        return true;
    }
    if (key == kKeyOverlay) {
        view_.full = !view_.full;
        return true;
    }
    if (key != kKeyLeft && key != kKeyRight && key != kKeyPageUp && key != kKeyPageDown && key != kKeyHome &&
        key != kKeyLoop) {
        return false;
    }
    const double time = Time();
    const auto [start, end] = SlotAt(time);
    if (key == kKeyLeft) Seek(time - schedule_.bar);
    if (key == kKeyRight) Seek(time + schedule_.bar);
    if (key == kKeyPageUp) Seek(start > 0.0 ? SlotAt(std::nextafter(start, 0.0)).first : 0.0);
    if (key == kKeyPageDown) Seek(end);
    if (key == kKeyHome) Seek(0.0);
    if (key == kKeyLoop) {
        view_.looping = !view_.looping;
        view_.loop = {start, end};
    }
    return true;
}

void LiveStudio::OnPointer(Pointer event, int x, int y, int width, int height) {
    if (event == Pointer::kPress) scrubbing_ = y >= height - kStripHeight && y < height;
    if (event == Pointer::kRelease) scrubbing_ = false;
    if (scrubbing_ && width > 0) Seek(schedule_.end * std::clamp(x + 0.5, 0.0, double(width)) / width);
}

void LiveStudio::AfterFrame(const MusicReading& music, int width, int height) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    if (lastFrame_ != Clock::time_point())
        view_.frameSeconds = std::chrono::duration<double>(now - lastFrame_).count();
    lastFrame_ = now;
    std::erase_if(lastSecond_, [&](Clock::time_point t) { return now - t > std::chrono::seconds(1); });
    lastSecond_.push_back(now);
    // Frames slower than one a second are counted by the last one alone.
    const double span = std::chrono::duration<double>(now - lastSecond_.front()).count();
    view_.framesPerSecond = lastSecond_.size() > 1   ? static_cast<double>(lastSecond_.size() - 1) / span
                            : view_.frameSeconds > 0 ? 1.0 / view_.frameSeconds
                                                     : 0.0;
    view_.time = music.time;
    view_.levels = music.levels;
    view_.errors = Errors();
    DrawOverlay(view_, schedule_, width, height);
}
