// How deeply a JSON text nests its arrays and objects, found by one pass over the bytes
// without parsing, so that a reader can refuse a file nested too deep before any recursive
// parser or tree walk sees it (a 40 KB file of brackets is 20,000 levels).
#pragma once

#include <cstddef>
#include <string_view>

namespace host {

// Deeper than any scene or glTF document this host writes or reads in practice.
inline constexpr size_t kMaxJsonNesting = 256;

// The deepest nesting of [ and { outside strings; stops counting past `limit`.
inline size_t jsonNesting(std::string_view text, size_t limit = kMaxJsonNesting) {
    size_t depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
            if (deepest > limit) return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

}  // namespace host
