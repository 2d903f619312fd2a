#include "utility/weather_presets.h"

#include <algorithm>
#include <charconv>
#include <cwctype>

namespace wx {
namespace {

// clang-format off
constexpr WeatherPreset kPresets[] = {
    {L"Light dusting",
     L"A thin, broken layer: roofs and sills whiten, ground shows through. Slow, sparse flakes.",
     kWeatherSnow, 1.5f, 0.55f, 0.45f, 1, 50, 0, 1.5f, 80, 20, 0.2f, 15, 0.5f, 0, 0, 0, 0, 0},
    {L"Heavy snow",
     L"Deep, rounded snow on everything that faces up; nothing under the roofs. Steady snowfall.",
     kWeatherSnow, 14, 1, 0.25f, 7, 60, 0, 5, 100, 30, 0.3f, 20, 0.8f, 0, 0, 0, 0, 0},
    {L"Blizzard",
     L"Deep snow blown into drifts behind walls, scoured off windward faces. Dense, fast, sideways snow.",
     kWeatherSnow, 20, 1, 0.35f, 9, 62, 0.7f, 12, 150, 900, 0.8f, 40, 0.5f, 0, 0, 0, 0, 0},
    {L"Drizzle",
     L"Damp: up-facing surfaces darken and gloss, a few small puddles, fine light rain.",
     kWeatherWet, 0, 0, 0, 0, 0, 0, 3, 500, 50, 0.2f, 2, 0.1f, 0.02f, 0.04f, 0.45f, 0.08f, 0},
    {L"Storm",
     L"Soaked: everything wet, wide puddles with rain rings, drops running on glass, heavy slanting rain.",
     kWeatherWet, 0, 0, 0, 0, 0, 0, 10, 900, 500, 0.6f, 5, 0.15f, 0.03f, 0.06f, 1, 0.35f, 1},
    {L"Winter night",
     L"Thick snow on every ledge, rail and post - even thin ones - jutting over the edges; a wet, glossy street "
     L"with patches of snow; dense snowfall glowing around the lamps.",
     kWeatherSnow, 10, 1, 0.3f, 6, 62, 0.15f, 25, 80, 60, 0.4f, 25, 1, 0, 0, 0, 0, 0},
    {L"Sandstorm",
     L"Sand drifted onto ledges, roofs and the lee of walls (real geometry), a brown haze swallowing the distance, "
     L"grains racing sideways in the wind.",
     kWeatherSand, 0, 0, 0, 0, 0, 0, 20, 120, 1500, 0.9f, 80, 0.12f, 0, 0, 0, 0, 0},
};
// clang-format on

std::wstring widen(const char* begin, const char* end) {
    return std::wstring(begin, end);  // the digits, sign, point and exponent are ASCII
}

std::wstring fixed(double v, int digits) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, digits);
    return widen(text, r.ptr);
}

std::wstring pair(const wchar_t* name, const std::wstring& value) {
    return std::wstring(L"#(#") + name + L"," + value + L")";
}

std::wstring pair(const wchar_t* name, double value) {
    return pair(name, numberG(value));
}

}  // namespace

std::span<const WeatherPreset> weatherPresets() {
    return kPresets;
}

const wchar_t* weatherKindName(int32_t kind) {
    return kind == kWeatherWet ? L"rain" : kind == kWeatherSand ? L"sand" : L"snow";
}

std::optional<size_t> findWeatherPreset(std::wstring_view text) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        if (text.size() > 2) return std::nullopt;
        size_t n = 0;
        for (wchar_t c : text) n = n * 10 + size_t(c - L'0');
        if (n >= 1 && n <= std::size(kPresets)) return n - 1;
        return std::nullopt;
    }
    auto lower = [](std::wstring_view s) {
        std::wstring out(s);
        for (wchar_t& c : out) c = wchar_t(std::towlower(std::wint_t(c)));
        return out;
    };
    for (size_t i = 0; i < std::size(kPresets); ++i)
        if (lower(kPresets[i].name) == lower(text)) return i;
    return std::nullopt;
}

bool isWinterNight(const WeatherPreset& p) {
    return std::wstring_view(p.name) == L"Winter night";
}

std::wstring numberG(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 6);
    return widen(text, r.ptr);
}

SnowTargetPlan planSnowTarget(const WeatherPreset& p, const TargetBox& box, double cm) {
    const bool wn = isWinterNight(p);
    const double r0 = std::clamp(std::max(0.5 * p.edge, 0.35 * p.depth), 1.0, 15.0) * cm;
    const V3 size = box.empty ? V3{1e6f, 1e6f, 1e6f} : box.size;
    const double longSide = std::max(size.x, size.y), shortSide = std::min(size.x, size.y);
    const bool ground = wn && longSide > 300.0 * cm && size.z < 0.03 * longSide;
    const bool huge = wn && longSide > 2000.0 * cm;

    SnowTargetPlan plan{};
    plan.gloss = ground || huge;
    double depth = ground ? 3.0 * cm : p.depth * cm;
    if (wn && !ground) depth = std::min(depth, std::max(0.6 * shortSide, 2.0 * cm));
    plan.depth = float(depth);
    plan.coverage = ground ? 0.5f : p.coverage;
    plan.noiseAmount = p.noise;
    plan.noiseScale = float(60.0 * cm);
    plan.patchScale = float((ground ? 250.0 : 120.0) * cm);
    plan.edgeRound = float(std::min(std::max(0.25 * shortSide, 0.5 * cm), double(p.edge) * cm));
    plan.slopeMax = p.slope;
    plan.drift = p.drift;
    plan.leeDist = float(400.0 * cm);
    plan.resolution = float(std::max(std::min(r0, shortSide / 6.0), 0.6 * cm));
    plan.uvScale = float(100.0 * cm);
    plan.winterNight = wn;
    if (wn) {
        plan.groundBand = float(40.0 * cm);
        if (!ground) plan.overhang = float(std::min(std::max(0.3 * shortSide, 0.5 * cm), 6.0 * cm));
    }
    return plan;
}

std::wstring snowPairs(const SnowTargetPlan& s) {
    std::wstring a = L"#(" + pair(L"depth", s.depth) + L"," + pair(L"coverage", s.coverage) + L"," +
                     pair(L"noiseAmount", s.noiseAmount) + L"," + pair(L"noiseScale", s.noiseScale) + L"," +
                     pair(L"patchScale", s.patchScale) + L"," + pair(L"edgeRound", s.edgeRound) + L"," +
                     pair(L"slopeMax", s.slopeMax) + L"," + pair(L"drift", s.drift) + L"," +
                     pair(L"leeDist", s.leeDist) + L"," + pair(L"resolution", s.resolution) + L"," +
                     pair(L"maxTris", L"2000000") + L"," + pair(L"uvScale", s.uvScale);
    if (s.winterNight) a += L"," + pair(L"groundCover", L"0.35") + L"," + pair(L"groundBand", s.groundBand);
    if (s.overhang) a += L"," + pair(L"overhang", *s.overhang);
    return a + L"," + pair(L"enabled", L"true") + L")";
}

std::wstring sandPairs(double cm) {
    // The uvScale pair closes before #(#enabled,true), like every other pair.
    return L"#(" + pair(L"depth", 3.0 * cm) + L"," + pair(L"coverage", L"0.75") + L"," + pair(L"noiseAmount", L"0.6") +
           L"," + pair(L"noiseScale", 80.0 * cm) + L"," + pair(L"patchScale", 200.0 * cm) + L"," +
           pair(L"edgeRound", 4.0 * cm) + L"," + pair(L"slopeMax", L"40.0") + L"," + pair(L"drift", L"0.8") + L"," +
           pair(L"leeDist", 500.0 * cm) + L"," + pair(L"resolution", 4.0 * cm) + L"," + pair(L"uvScale", 100.0 * cm) +
           L"," + pair(L"enabled", L"true") + L")";
}

FallPlan planFall(const WeatherPreset& p, V3 lo, V3 hi, double cm) {
    const double wx = 0.05 * (double(hi.x) - lo.x), wy = 0.05 * (double(hi.y) - lo.y);
    FallPlan plan;
    plan.min = {float(lo.x - wx), float(lo.y - wy), lo.z};
    plan.max = {float(hi.x + wx), float(hi.y + wy), float(std::max(lo.z + 600.0 * cm, hi.z + 200.0 * cm))};
    const double area = (double(plan.max.x) - plan.min.x) * (double(plan.max.y) - plan.min.y);
    const double metreSquared = (100.0 * cm) * (100.0 * cm);
    double count = area / metreSquared * p.density;
    count = std::min(std::max(count, 500.0), 600000.0);
    plan.count = int64_t(count);
    return plan;
}

std::wstring makeFallCall(const WeatherPreset& p, const FallPlan& plan, double cm) {
    std::wstring a = L"#(" + pair(L"type", std::to_wstring(p.kind)) + L"," +
                     pair(L"count", std::to_wstring(plan.count)) + L"," + pair(L"speed", p.speed * cm) + L"," +
                     pair(L"windSpeed", p.wind * cm) + L"," + pair(L"gust", p.gust) + L"," +
                     pair(L"turbulence", p.turbulence * cm) + L"," + pair(L"size", p.size * cm) + L"," +
                     pair(L"streak", p.streak) + L"," + pair(L"dropWidth", p.dropWidth * cm);
    if (p.kind == kWeatherSand)
        a += L",#(#color,(color 205 165 115)),#(#opacity,0.75),#(#shutter,0.05),#(#sizeVar,0.7),"
             L"#(#fogDensity,10.0),#(#fogColor,(color 150 112 72)),#(#collide,true)";
    if (isWinterNight(p))
        a += L",#(#color,(color 240 244 250)),#(#opacity,0.95),#(#shutter,0.03),#(#sizeVar,0.6),"
             L"#(#fogDensity,6.0),#(#fogColor,(color 40 48 62)),#(#collide,true),#(#lightGlow,1.5),#(#rainGlint,1.5)";
    a += L")";
    const V3& lo = plan.min;
    const V3& hi = plan.max;
    return L"TWeatherMtl.makeFall [" + numberG(lo.x) + L"," + numberG(lo.y) + L"," + numberG(lo.z) + L"] [" +
           numberG(hi.x) + L"," + numberG(hi.y) + L"," + numberG(hi.z) + L"] " + a +
           (p.kind == kWeatherWet ? L" true" : L" false");
}

std::wstring wetArguments(const WeatherPreset& p) {
    return L" " + fixed(p.wetness, 3) + L" " + fixed(p.puddles, 3) + (p.wetFlag ? L" true" : L" false");
}

std::wstring makeReport(const WeatherPreset& p, const MakeCounts& c, const std::wstring& fallingText,
                        int shelterTriangles, double shelterMs, const std::wstring& errors) {
    std::wstring r = std::wstring(p.name) + L" on " + std::to_wstring(c.targets) + L" object" +
                     (c.targets == 1 ? L"" : L"s") + L": " + std::to_wstring(c.snowed) + L" snowed, " +
                     std::to_wstring(c.wet) + L" wet, " + std::to_wstring(c.glass) + L" glass with drops" +
                     (fallingText.empty() ? L"" : L", falling: ") + fallingText + L".\r\n";
    if (c.snowed > 0)
        r += L"Shelter: " + std::to_wstring(shelterTriangles) + L" scene triangles gathered in " + fixed(shelterMs, 0) +
             L" ms.\r\n";
    return r + errors;
}

}  // namespace wx
