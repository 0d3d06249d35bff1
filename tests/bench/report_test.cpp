// The table and its JSON: figures, escaping, and that both stay well-formed whatever the rows hold.
#include "tools/bench/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

// Just enough of a JSON reader to take back what Json writes; any syntax error fails the test.
struct Value {
    enum Kind { Null, Number, String, Array, Object } kind = Null;
    double number = 0.0;
    std::string string;
    std::vector<Value> items;
    std::map<std::string, Value> members;
};

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}
    Value Document() {
        Value value = Read();
        Space();
        EXPECT_EQ(at_, text_.size()) << "text after the document";
        return value;
    }

private:
    void Space() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    bool Take(char c) {
        Space();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    void Expect(char c) { EXPECT_TRUE(Take(c)) << "expected '" << c << "' at " << at_ << " in\n" << text_; }
    std::string ReadString() {
        Expect('"');
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            const char c = text_[at_++];
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "raw control character in a string";
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = text_[at_++];
            if (e == 'u') {
                out += static_cast<char>(std::strtol(text_.substr(at_, 4).c_str(), nullptr, 16));
                at_ += 4;
            } else {
                const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
                EXPECT_NE(from.find(e), std::string::npos) << "bad escape \\" << e;
                out += to[from.find(e) % to.size()];
            }
        }
        Expect('"');
        return out;
    }
    Value Read() {
        Value value;
        Space();
        if (text_.compare(at_, 4, "null") == 0) {
            at_ += 4;
        } else if (at_ < text_.size() && text_[at_] == '"') {
            value.kind = Value::String;
            value.string = ReadString();
        } else if (Take('[')) {
            value.kind = Value::Array;
            if (!Take(']')) {
                do value.items.push_back(Read());
                while (Take(','));
                Expect(']');
            }
        } else if (Take('{')) {
            value.kind = Value::Object;
            if (!Take('}')) {
                do {
                    const std::string name = ReadString();
                    Expect(':');
                    value.members[name] = Read();
                } while (Take(','));
                Expect('}');
            }
        } else {
            char* end = nullptr;
            value.kind = Value::Number;
            value.number = std::strtod(text_.c_str() + at_, &end);
            EXPECT_NE(end, text_.c_str() + at_) << "no value at " << at_ << " in\n" << text_;
            at_ = static_cast<size_t>(end - text_.c_str());
        }
        return value;
    }

    const std::string& text_;
    size_t at_ = 0;
};

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

TEST(BenchReport, JsonReadsBackToTheSameRows) {
    const BenchReport report = Awkward();
    const Value document = Reader(Json(report)).Document();
    ASSERT_EQ(document.kind, Value::Object);
    EXPECT_EQ(document.members.at("renderer").string, report.renderer);
    EXPECT_EQ(document.members.at("machine").string, report.machine);
    const std::vector<Value>& rows = document.members.at("rows").items;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].members.at("median").number, 12.26);
    EXPECT_EQ(rows[0].members.at("min").number, 11.5);
    EXPECT_EQ(rows[0].members.at("derived").string, "18.8 Mpixel/s");
    EXPECT_EQ(rows[1].members.at("benchmark").string, "a|b");
    EXPECT_EQ(rows[1].members.at("subject").string, report.rows[1].subject);
    EXPECT_EQ(rows[1].members.at("unit").string, "µs");
    EXPECT_EQ(rows[1].members.at("median").kind, Value::Null) << "NaN is no JSON number";
    EXPECT_EQ(rows[1].members.at("min").kind, Value::Null) << "nor is infinity";

    const Value empty = Reader(Json(BenchReport{})).Document();
    EXPECT_TRUE(empty.members.at("rows").items.empty());
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
