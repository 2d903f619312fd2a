// The "No snow on IDs" text: material IDs as numbers and ranges ("3, 7-9"), read one
// character at a time the way a user types them. Ranges run either way ("9-7") and stop
// at kMaxExcludedIDs entries; anything that is not a digit or a range dash separates.
#pragma once

#include <string_view>
#include <vector>

namespace wx {

inline constexpr size_t kMaxExcludedIDs = 4096;

std::vector<int> parseExcludeIDs(std::wstring_view text);

}  // namespace wx
