// The snow modifier's one-paragraph status text, composed from a build's statistics.
// At most kSnowStatusMaxChars characters are kept where the modifier publishes it.
#pragma once

#include <string>

#include "snow/snow_types.h"

namespace wx {

inline constexpr size_t kSnowStatusMaxChars = 319;

struct SnowStatusContext {
    bool viewportDetail = false;   // the coarser viewport build was used
    const wchar_t* shelter = L"";  // "off", "this object" or "whole scene"
    bool gatheringScene = false;   // whole scene asked for, none captured yet
    float slopeMax = 55.0f;        // degrees, for the "nothing flat enough" text
};

std::wstring snowStatusText(const SnowStats& stats, const SnowStatusContext& context);

}  // namespace wx
