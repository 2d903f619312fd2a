#include "snow/exclude_ids.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace wx {

std::vector<int> parseExcludeIDs(std::wstring_view text) {
    std::vector<int> ids;
    std::optional<int64_t> number, rangeStart;
    bool range = false;
    // A number longer than any material ID saturates instead of overflowing.
    constexpr int64_t kSaturate = INT32_MAX;
    auto endItem = [&] {
        if (range && rangeStart) {
            const int64_t lo = std::min(*rangeStart, *number), hi = std::max(*rangeStart, *number);
            for (int64_t id = lo; id <= hi && ids.size() < kMaxExcludedIDs; ++id) ids.push_back(int(id));
        } else {
            ids.push_back(int(*number));
        }
        number.reset();
        rangeStart.reset();
        range = false;
    };
    for (size_t i = 0; i <= text.size(); ++i) {
        const wchar_t c = i < text.size() ? text[i] : L'\0';
        if (c >= L'0' && c <= L'9') {
            number = std::min<int64_t>(number.value_or(0) * 10 + (c - L'0'), kSaturate);
        } else if (c == L'-' && number) {
            rangeStart = number;
            number.reset();
            range = true;
        } else if (number) {
            endItem();
        }
    }
    return ids;
}

}  // namespace wx
