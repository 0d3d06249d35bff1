#include "scenes/shader_files.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

constexpr int kMaxDepth = 16;  // deeper includes are taken for a loop

bool ReadLines(const std::filesystem::path& folder, const std::string& file, int depth,
               std::vector<std::string>& lines, std::vector<ShaderFileText::Origin>& origins,
               std::string& error) {
    if (depth > kMaxDepth) {
        error = file + ": included within itself";
        return false;
    }
    std::ifstream in(folder / file, std::ios::binary);
    std::stringstream content;
    if (!in || !(content << in.rdbuf())) {
        error = file + ": cannot be read";
        return false;
    }
    std::string text = content.str();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    static const std::regex include("#include \"([^\"]+)\"");
    int number = 0;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        std::smatch match;
        if (std::regex_match(line, match, include)) {
            if (!ReadLines(folder, match[1], depth + 1, lines, origins, error)) return false;
        } else {
            lines.push_back(line);
            origins.push_back({file, number});
        }
    }
    return true;
}

}  // namespace

bool ShaderFileText::Read(const std::filesystem::path& folder, const std::string& file, std::string& error) {
    std::vector<std::string> lines;
    std::vector<Origin> read;
    if (!ReadLines(folder, file, 0, lines, read, error)) return false;
    text.clear();
    for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
    origins = std::move(read);
    return true;
}

std::string ShaderFileText::NameLines(const std::string& log) const {
    // Mesa and most drivers write "0:134(5): error", others "ERROR: 0:134: " or "0(134) : error".
    static const std::regex reference(R"((^|\n|ERROR: )0(:(\d+)|\((\d+)\)))");
    std::string named;
    auto from = log.cbegin();
    for (std::sregex_iterator it(log.begin(), log.end(), reference), end; it != end; ++it) {
        const std::smatch& match = *it;
        const int line = std::stoi(match[3].matched ? match[3].str() : match[4].str());
        named.append(from, match[0].first).append(match[1].str());
        if (line >= 1 && line <= static_cast<int>(origins.size())) {
            const Origin& origin = origins[static_cast<size_t>(line - 1)];
            named += origin.file + ":" + std::to_string(origin.line);
        } else {
            named += match[0].str().substr(match[1].length());
        }
        from = match[0].second;
    }
    return named.append(from, log.cend());
}
