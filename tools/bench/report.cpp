#include "tools/bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A Markdown cell: pipes would end it and line breaks would end the row.
std::string Cell(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '|') {
            out += "\\|";
        } else if (c == '\n' || c == '\r') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace

Summary Summarise(std::vector<double> samples) {
    if (samples.empty()) return {std::nan(""), std::nan("")};
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    const double median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
    return {median, samples.front()};
}

std::string FormatFigure(double value) {
    if (!std::isfinite(value)) return "–";
    const double magnitude = std::fabs(value);
    int decimals = 0;
    if (magnitude > 0.0 && magnitude < 100.0) {
        decimals = std::clamp(2 - static_cast<int>(std::floor(std::log10(magnitude))), 0, 9);
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Markdown(const BenchReport& report) {
    std::string out = "GL_RENDERER: " + Cell(report.renderer) + "; machine: " + Cell(report.machine) + "\n\n";
    out += "| Benchmark | Subject | Median | Min | Unit | Derived |\n";
    out += "| --- | --- | ---: | ---: | --- | --- |\n";
    for (const BenchRow& row : report.rows) {
        out += "| " + Cell(row.benchmark) + " | " + Cell(row.subject) + " | " + FormatFigure(row.median) +
               " | " + FormatFigure(row.min) + " | " + Cell(row.unit) + " | " + Cell(row.derived) + " |\n";
    }
    return out;
}

std::string Json(const BenchReport& report) {
    std::string out = "{\n  \"renderer\": " + JsonString(report.renderer) +
                      ",\n  \"machine\": " + JsonString(report.machine) + ",\n  \"rows\": [";
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const BenchRow& row = report.rows[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"benchmark\": " + JsonString(row.benchmark) +
               ", \"subject\": " + JsonString(row.subject) + ", \"median\": " + JsonNumber(row.median) +
               ", \"min\": " + JsonNumber(row.min) + ", \"unit\": " + JsonString(row.unit) +
               ", \"derived\": " + JsonString(row.derived) + "}";
    }
    return out + (report.rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
