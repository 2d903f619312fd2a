// The fall object's dialog and string ids that are no single parameter's: its rollouts,
// their titles, the combo entries and the tornado pick prompt. They must match
// resources/weather_fall.json (tests/host/ui/test_resources.cpp reads both). A parameter's
// own control and label ids live in its row of fall/fall_params.h. No host types.
#pragma once

namespace wx::fallres {

// Parameter rollouts (dialog ids) and their title strings.
inline constexpr int kMainDialog = 2200;
inline constexpr int kMotionDialog = 2201;
inline constexpr int kLookDialog = 2202;
inline constexpr int kRenderDialog = 2203;
inline constexpr int kCollisionsDialog = 2204;
inline constexpr int kTornadoDialog = 2205;
inline constexpr int kAboutDialog = 7702;  // the About rollout every weather class shows
inline constexpr int kMainTitle = 2300;
inline constexpr int kMotionTitle = 2301;
inline constexpr int kLookTitle = 2302;
inline constexpr int kRenderTitle = 2303;
inline constexpr int kCollisionsTitle = 2304;
inline constexpr int kTornadoTitle = 2305;
inline constexpr int kAboutTitle = 2306;

// Combo box entries.
inline constexpr int kTypeSnowText = 4301;
inline constexpr int kTypeRainText = 4302;
inline constexpr int kTypeSandText = 4303;
inline constexpr int kRenderSplatsText = 4304;
inline constexpr int kRenderGeometryText = 4305;

// What the tornado pick button asks the user while picking (the label's own string).
inline constexpr int kTornadoPickPrompt = 3438;

}  // namespace wx::fallres
