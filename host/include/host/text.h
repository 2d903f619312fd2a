// Conversions between the SDK's wide strings (UTF-32 wchar_t here) and UTF-8, used for file
// contents and paths. Malformed UTF-8 decodes to U+FFFD rather than failing. Pure functions.
#pragma once

#include <string>

namespace host {

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

}  // namespace host
