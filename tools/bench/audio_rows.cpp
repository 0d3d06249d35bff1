#include "tools/bench/audio_rows.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tools/bench/process.h"

namespace {

// One run of the program; its tab-separated rows, or one row saying why there are none.
std::vector<BenchRow> Run(const std::string& program, const std::string& work,
                          const std::vector<std::string>& args, const std::string& what) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    const ChildSetup setup{
        {{"SDL_AUDIODRIVER", "pulseaudio"}}, work, work + "/audio.out", work + "/audio.err"};
    const ProcessResult result = RunProcess(argv, setup);
    std::vector<BenchRow> rows;
    std::istringstream lines(ReadFile(setup.stdoutPath));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() != 6) continue;
        rows.push_back({fields[0], fields[1], std::strtod(fields[2].c_str(), nullptr),
                        std::strtod(fields[3].c_str(), nullptr), fields[4], fields[5]});
    }
    if (result.exitCode != 0 || rows.empty()) {
        std::string error = result.error.empty() ? ReadFile(setup.stderrPath) : result.error;
        while (!error.empty() && error.back() == '\n') error.pop_back();
        rows = {{what, "", std::nan(""), std::nan(""), "", "failed: " + error}};
    }
    for (const BenchRow& row : rows)
        std::fprintf(stderr, "  %s %s: %s\n", row.benchmark.c_str(), row.subject.c_str(),
                     FormatFigure(row.median).c_str());
    return rows;
}

}  // namespace

std::vector<BenchRow> AudioRows(const std::string& program, const std::string& work, const std::string& track,
                                const std::string& monitor) {
    std::vector<BenchRow> rows;
    const auto add = [&](const std::vector<BenchRow>& more) {
        rows.insert(rows.end(), more.begin(), more.end());
    };
    add(Run(program, work, {"clock", track}, "clock"));
    add(Run(program, work, {"offset", monitor}, "A/V offset"));
    add(Run(program, work, {"play", track, "the show's track"}, "open to play"));
    const std::string hour = work + "/hour.flac";
    if (RunProcess({program, "hour", hour}, {}).exitCode == 0) {
        add(Run(program, work, {"play", hour, "an hour of silence (FLAC)"}, "open to play"));
    }
    return rows;
}
