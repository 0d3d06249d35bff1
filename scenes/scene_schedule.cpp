#include "scenes/scene_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "shaders/shader_texts.h"

namespace {

// A finite number written out in full, or nothing.
std::optional<double> ReadNumber(const std::string& word) {
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || end != word.c_str() + word.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// One line's words, without its comment.
std::vector<std::string> Words(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string> words;
    constexpr std::string_view kSpace = " \t\r\f\v";
    for (size_t start = line.find_first_not_of(kSpace); start != std::string_view::npos;) {
        const size_t end = std::min(line.find_first_of(kSpace, start), line.size());
        words.emplace_back(line.substr(start, end - start));
        start = line.find_first_not_of(kSpace, end);
    }
    return words;
}

// A schedule read line by line.
struct Reader {
    // Why the line's words do not belong here, or nothing when they were taken in.
    std::optional<std::string> Line(const std::vector<std::string>& words);

    Schedule schedule;
    bool hasBar = false, hasEnd = false, hasAfter = false;
};

std::optional<std::string> Reader::Line(const std::vector<std::string>& words) {
    if (words.size() != 2) return "expected two words: a keyword or a number of bars, then its value";
    const std::string& key = words[0];
    const std::string& value = words[1];
    if (key == "bar" || key == "end") {
        bool& has = key == "bar" ? hasBar : hasEnd;
        if (has) return "a second \"" + key + "\" line";
        const std::optional<double> seconds = ReadNumber(value);
        if (!seconds || (key == "bar" && *seconds <= 0.0))
            return "\"" + value + "\" is not a time in seconds";
        (key == "bar" ? schedule.bar : schedule.end) = *seconds;
        has = true;
        return std::nullopt;
    }
    SceneId scene;
    if (!FindScene(value, scene)) return "unknown scene \"" + value + "\"";
    if (hasAfter) return "a line after the \"then\" line";
    if (key == "then") {
        if (schedule.rows.empty()) return "\"then\" before any row";
        schedule.after = scene;
        hasAfter = true;
        return std::nullopt;
    }
    const std::optional<double> bars = ReadNumber(key);
    if (!bars) return "\"" + key + "\" is neither a keyword nor a number of bars";
    if (!hasBar) return "a row before the \"bar\" line";
    const double threshold = *bars * schedule.bar;
    if (!schedule.rows.empty() && threshold <= schedule.rows.back().threshold) {
        return "the threshold " + key + " is not after the row before";
    }
    schedule.rows.push_back({threshold, scene});
    return std::nullopt;
}

}  // namespace

SceneId Schedule::SceneAt(double time) const {
    for (const ScheduleRow& row : rows) {
        if (time < row.threshold) return row.scene;
    }
    return after;
}

bool ParseSchedule(std::string_view text, std::string_view name, Schedule& schedule, std::string& error) {
    Reader reader;
    int number = 0;
    const auto fail = [&](int line, const std::string& reason) {
        error = std::string(name) + ":" + std::to_string(line) + ": " + reason;
        return false;
    };
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++number;
        const std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        if (std::optional<std::string> reason = reader.Line(words)) {
            return fail(number, *reason);
        }
    }
    if (!reader.hasBar) return fail(number, "no \"bar\" line");
    if (!reader.hasEnd) return fail(number, "no \"end\" line");
    if (!reader.hasAfter) return fail(number, "no \"then\" line");
    schedule = std::move(reader.schedule);
    return true;
}

const Schedule& ShowSchedule() {
    static const Schedule schedule = [] {
        Schedule built;
        std::string error;
        if (!ParseSchedule(shader_text::Schedule, "schedule.txt", built, error)) {
            // Only a change to the built-in text gets here, and the schedule's tests fail on it first.
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
        return built;
    }();
    return schedule;
}
