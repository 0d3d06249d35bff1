// The benchmarks' one table: a row per figure, printed as Markdown and written as JSON with the same rows.
#pragma once

#include <limits>
#include <string>
#include <vector>

struct BenchRow {
    std::string benchmark;  // what is measured, e.g. "frame 640x360" or "program build"
    std::string subject;    // of what, e.g. a scene or a call
    double median = std::numeric_limits<double>::quiet_NaN();  // NaN: no figure
    double min = std::numeric_limits<double>::quiet_NaN();
    std::string unit;     // of the median and the minimum
    std::string derived;  // figures worked out from this row and others of the same run
};

struct BenchReport {
    std::string renderer;  // GL_RENDERER of the context the frames were drawn on
    std::string machine;   // cores and load, which the figures depend on
    std::vector<BenchRow> rows;
};

struct Summary {
    double median, min;
};
// The median (the mean of the middle two for an even count) and the minimum; NaN for no samples.
Summary Summarise(std::vector<double> samples);

// A figure with three significant digits at most and no exponent: "1234", "12.3", "0.0123"; "–" for NaN.
std::string FormatFigure(double value);

// A line for the renderer and the machine, a blank line, then the table.
std::string Markdown(const BenchReport& report);
// {"renderer": ..., "machine": ..., "rows": [{"benchmark": ..., "median": ...}, ...]}; NaN as null.
std::string Json(const BenchReport& report);
