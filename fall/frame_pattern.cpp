#include "fall/frame_pattern.h"

#include <climits>
#include <cstdio>

namespace wx {
namespace {

template <class Str>
Str expand(const Str& pattern, int frame) {
    const size_t first = pattern.find('#');
    if (first == Str::npos) return pattern;
    size_t end = first;
    while (end < pattern.size() && pattern[end] == '#') ++end;
    // "%0*d" pads to at least the run's length; a run longer than any int fits is
    // padded by hand, as printf would.
    char digits[32];
    std::snprintf(digits, sizeof digits, "%d", frame);
    std::string number(digits);
    const bool negative = frame < 0;
    const size_t width = end - first;
    if (number.size() < width) number.insert(negative ? 1 : 0, width - number.size(), '0');
    Str out = pattern.substr(0, first);
    out.append(number.begin(), number.end());
    out += pattern.substr(end);
    return out;
}

bool isSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

}  // namespace

std::string expandFramePattern(const std::string& pattern, int frame) {
    return expand(pattern, frame);
}

std::wstring expandFramePattern(const std::wstring& pattern, int frame) {
    return expand(pattern, frame);
}

bool hasFrameRun(const std::string& pattern) {
    return pattern.find('#') != std::string::npos;
}

bool hasFrameRun(const std::wstring& pattern) {
    return pattern.find(L'#') != std::wstring::npos;
}

bool sequenceFromFirstFrame(const std::wstring& firstFrame, SequenceFromFirstFrame& out) {
    size_t nameStart = firstFrame.size();
    while (nameStart > 0 && !isSeparator(firstFrame[nameStart - 1])) --nameStart;
    const size_t dot = firstFrame.rfind(L'.');
    const size_t stemEnd = (dot == std::wstring::npos || dot < nameStart) ? firstFrame.size() : dot;
    const std::wstring extension = firstFrame.substr(stemEnd);

    size_t digitsStart = stemEnd;
    while (digitsStart > nameStart && firstFrame[digitsStart - 1] >= L'0' && firstFrame[digitsStart - 1] <= L'9')
        --digitsStart;
    const size_t digitCount = stemEnd - digitsStart;
    if (digitCount == 0) return false;

    long long start = 0;
    for (size_t i = digitsStart; i < stemEnd; ++i) {
        start = start * 10 + (firstFrame[i] - L'0');
        if (start > INT_MAX) return false;  // no frame number an int can count to
    }
    const std::wstring prefix = firstFrame.substr(0, digitsStart);
    const std::wstring run(digitCount, L'#');
    out.start = int(start);
    out.backgroundPattern = prefix + run + extension;
    out.outputPattern = prefix + L"weather_" + run + L".png";
    return true;
}

}  // namespace wx
