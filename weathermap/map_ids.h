// The Weather Map's dialog and string ids that are no single parameter's: its three
// rollouts, their titles and the output combo's entries. They must match
// resources/weather_map.json. A parameter's own control and label ids live in its row of
// weathermap/map_params.h. No host types.
#pragma once

namespace wx::mapres {

// Parameter rollouts (dialog ids) and their title strings.
inline constexpr int kMainDialog = 2600;
inline constexpr int kWetDialog = 2601;
inline constexpr int kAnimatedDialog = 2602;
inline constexpr int kMainTitle = 2700;
inline constexpr int kWetTitle = 2701;
inline constexpr int kAnimatedTitle = 2702;

// The output combo's entries, in mode order.
inline constexpr int kModeWetnessText = 3901;
inline constexpr int kModePuddlesText = 3902;
inline constexpr int kModeRipplesText = 3903;
inline constexpr int kModeGlassText = 3904;
inline constexpr int kModeSparkleText = 3905;

}  // namespace wx::mapres
