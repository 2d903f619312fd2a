// Warnings about one fault said once with a count: a file with 200,000 bad triangles gives
// one line, not 200,000. Each kind keeps its first text; kinds come out in the order they
// were first met. Not thread-safe; one reader owns one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class CountedWarnings {
public:
    // `kind` groups repeats of one fault; `text` is what the first of them says.
    void add(const std::string& kind, const std::string& text) {
        auto [it, fresh] = counts_.try_emplace(kind, 0);
        if (fresh) order_.push_back({kind, text});
        ++it->second;
    }

    void appendTo(std::vector<std::string>& warnings) const {
        for (const auto& [kind, text] : order_) {
            const size_t n = counts_.at(kind);
            warnings.push_back(n == 1 ? text : text + " (" + std::to_string(n) + " times in all)");
        }
    }

    // Each line of a parser's warning text, lines that differ only in their numbers (a line
    // or an index) counted as one kind.
    void addLines(std::string_view text) {
        while (!text.empty()) {
            const size_t end = std::min(text.find('\n'), text.size());
            std::string line(text.substr(0, end));
            text.remove_prefix(std::min(end + 1, text.size()));
            while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
            if (line.empty()) continue;
            std::string kind = line;
            kind.erase(std::remove_if(kind.begin(), kind.end(), [](char c) { return c >= '0' && c <= '9'; }),
                       kind.end());
            add(kind, line);
        }
    }

private:
    std::map<std::string, size_t> counts_;
    std::vector<std::pair<std::string, std::string>> order_;
};

}  // namespace host
