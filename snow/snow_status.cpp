#include "snow/snow_status.h"

#include <cwchar>

namespace wx {

std::wstring snowStatusText(const SnowStats& s, const SnowStatusContext& c) {
    wchar_t text[1024];
    if (s.upFacing == 0) {
        std::swprintf(text, 1024,
                      L"No face here is flat enough for snow (steepest slope %.0f deg). Raise Steepest slope, or "
                      L"check the object's up axis.",
                      double(c.slopeMax));
        return text;
    }
    std::swprintf(text, 1024,
                  L"%ls snow: %d triangles from %d up-facing of %d faces. Detail %.3g.\r\nShelter: %ls%ls, %ls, open "
                  L"sky %.0f%%. Thickest %.3g. Built in %.0f ms (shelter %.0f ms).",
                  c.viewportDetail ? L"Viewport" : L"Render", s.trianglesOut, s.upFacing, s.facesIn, double(s.detail),
                  c.shelter, c.gatheringScene ? L" (gathering the scene...)" : L"", s.usedGPU ? L"GPU" : L"CPU",
                  double(s.openSky) * 100.0, double(s.thickest), s.buildMs, s.shelterMs);
    return text;
}

}  // namespace wx
