// The "No snow on IDs" text over any characters: IDs are never negative, and ranges stop
// at the cap, so the list holds at most the cap plus one ID per single number typed.
#include <cstdint>
#include <string>

#include "snow/exclude_ids.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    // Two bytes a character, so digits, dashes and wide characters all come up.
    for (size_t i = 0; i + 1 < size; i += 2) text.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
    const std::vector<int> ids = wx::parseExcludeIDs(text);
    if (ids.size() > wx::kMaxExcludedIDs + text.size()) __builtin_trap();
    for (int id : ids)
        if (id < 0) __builtin_trap();
    return 0;
}
