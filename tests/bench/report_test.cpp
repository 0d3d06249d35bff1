// The table and its JSON: figures, escaping, and that both stay well-formed whatever the rows hold.
#include "tools/bench/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

BenchReport Awkward() {
    BenchReport report;
    report.renderer = "llvmpipe (LLVM 15.0.6, 256 bits) | \"quoted\"";
    report.machine = "2 cores\nshared";
    report.rows.push_back({"frame 640x360", "Scene5_1 at 45.3 s", 12.26, 11.5, "ms", "18.8 Mpixel/s"});
    report.rows.push_back(
        {"a|b", "back\\slash \"q\" tab\t bell\x07 newline\n", std::nan(""), INFINITY, "µs", ""});
    return report;
}

TEST(BenchReport, SummaryIsTheMedianAndMinimumOfUnsortedSamples) {
    const Summary odd = Summarise({9.0, 1.0, 5.0, 3.0, 7.0});
    EXPECT_EQ(odd.median, 5.0);
    EXPECT_EQ(odd.min, 1.0);
    const Summary even = Summarise({4.0, 1.0, 3.0, 2.0});
    EXPECT_EQ(even.median, 2.5);
    EXPECT_EQ(even.min, 1.0);
    EXPECT_TRUE(std::isnan(Summarise({}).median));
}

TEST(BenchReport, FiguresKeepThreeSignificantDigitsWithoutExponents) {
    EXPECT_EQ(FormatFigure(123456.7), "123457");
    EXPECT_EQ(FormatFigure(12.345), "12.3");
    EXPECT_EQ(FormatFigure(1.0), "1.00");
    EXPECT_EQ(FormatFigure(0.0012345), "0.00123");
    EXPECT_EQ(FormatFigure(-4.5), "-4.50");
    EXPECT_EQ(FormatFigure(0.0), "0");
    EXPECT_EQ(FormatFigure(std::nan("")), "–");
}

// Read back by a parser of its own; a syntax error throws.
TEST(BenchReport, JsonReadsBackToTheSameRows) {
    const BenchReport report = Awkward();
    const nlohmann::json document = nlohmann::json::parse(Json(report));
    ASSERT_TRUE(document.is_object());
    EXPECT_EQ(document.at("renderer"), report.renderer);
    EXPECT_EQ(document.at("machine"), report.machine);
    const nlohmann::json& rows = document.at("rows");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("median"), 12.26);
    EXPECT_EQ(rows[0].at("min"), 11.5);
    EXPECT_EQ(rows[0].at("derived"), "18.8 Mpixel/s");
    EXPECT_EQ(rows[1].at("benchmark"), "a|b");
    EXPECT_EQ(rows[1].at("subject"), report.rows[1].subject);
    EXPECT_EQ(rows[1].at("unit"), "µs");
    EXPECT_TRUE(rows[1].at("median").is_null()) << "NaN is no JSON number";
    EXPECT_TRUE(rows[1].at("min").is_null()) << "nor is infinity";

    EXPECT_TRUE(nlohmann::json::parse(Json(BenchReport{})).at("rows").empty());
}

TEST(BenchReport, MarkdownIsOneTableWithAsManyCellsInEveryRow) {
    const std::string markdown = Markdown(Awkward());
    std::istringstream lines(markdown);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("GL_RENDERER: llvmpipe", 0), 0u) << line;
    std::getline(lines, line);
    EXPECT_EQ(line, "");
    std::vector<std::string> table;
    while (std::getline(lines, line)) table.push_back(line);
    ASSERT_EQ(table.size(), 4u) << "header, rule and two rows, each on one line:\n" << markdown;
    for (const std::string& row : table) {
        int cells = 0;
        for (size_t i = 0; i < row.size(); ++i) cells += row[i] == '|' && (i == 0 || row[i - 1] != '\\');
        EXPECT_EQ(cells, 7) << row;
    }
    EXPECT_EQ(table[2], "| frame 640x360 | Scene5_1 at 45.3 s | 12.3 | 11.5 | ms | 18.8 Mpixel/s |");
    EXPECT_NE(table[3].find("| – | – | µs |"), std::string::npos) << table[3];
}

}  // namespace
