#include "tools/bench/show_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

#include "scenes/scene_schedule.h"
#include "tools/bench/process.h"

namespace {

// The slot of the show's schedule that `time` falls in: the row's index, or the number of rows after the
// last.
int SlotOf(const Schedule& schedule, double time) {
    int slot = 0;
    while (slot < static_cast<int>(schedule.rows.size()) && time >= schedule.rows[slot].threshold) ++slot;
    return slot;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return std::nan("");
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::max<size_t>(rank, 1) - 1];
}

std::string Figure(double value, const char* unit) {
    return FormatFigure(value) + " " + unit;
}

}  // namespace

std::vector<BenchRow> ShowRows(const std::string& show, const std::string& work, double slotSeconds) {
    const std::filesystem::path program = std::filesystem::absolute(show);
    const Schedule& schedule = ShowSchedule();
    const int slots = static_cast<int>(schedule.rows.size()) + 1;  // and the one after the last
    std::vector<BenchRow> rows;
    for (const char* scale : {"auto", "1"}) {
        const std::string log = std::filesystem::absolute(work + "/frames-" + scale + ".log").string();
        char tour[32];
        std::snprintf(tour, sizeof tour, "%g", slotSeconds);
        std::fprintf(stderr, "  --scale %s, %d slots of %s s\n", scale, slots, tour);
        const ProcessResult result = RunProcess(
            {program.string(), "--window", "1280x720", "--scale", scale, "--tour", tour, "--frame-log", log},
            {{}, program.parent_path().string(), "", work + "/show.err"});
        const std::string benchmark = std::string("show at 1280x720, ") +
                                      (std::string_view(scale) == "auto" ? "auto scale" : "--scale 1");
        if (result.exitCode != 0) {
            rows.push_back({benchmark, "the show failed: " + ReadFile(work + "/show.err"), std::nan(""),
                            std::nan(""), "", ""});
            continue;
        }
        // Per slot: the time from each presented frame to the next within the slot, and the scales.
        std::vector<std::vector<double>> intervals(slots), scales(slots);
        std::ifstream in(log);
        double wall = 0.0, time = 0.0, drawn = 0.0, lastWall = 0.0;
        int lastSlot = -1;
        while (in >> wall >> time >> drawn) {
            const int slot = SlotOf(schedule, time);
            if (slot == lastSlot) intervals[slot].push_back((wall - lastWall) * 1e3);
            scales[slot].push_back(drawn);
            lastSlot = slot;
            lastWall = wall;
        }
        for (int slot = 0; slot < slots; ++slot) {
            const double from = slot == 0 ? 0.0 : schedule.rows[slot - 1].threshold;
            const SceneId scene = slot < slots - 1 ? schedule.rows[slot].scene : schedule.after;
            const Summary s = Summarise(intervals[slot]);
            rows.push_back({benchmark,
                            "slot " + std::to_string(slot + 1) + ", " + kSceneNames[static_cast<int>(scene)] +
                                " from " + FormatFigure(from) + " s",
                            s.median, s.min, "ms",
                            "95th percentile " + Figure(Percentile(intervals[slot], 0.95), "ms") +
                                ", scale " + FormatFigure(Percentile(scales[slot], 0.5)) + ", " +
                                std::to_string(intervals[slot].size()) + " frame intervals"});
        }
    }
    return rows;
}
