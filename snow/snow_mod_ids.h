// The snow modifier's dialog, control and string ids that are no single parameter's: its
// rollouts, their titles, the combo entries and the "Snow - Tools" rollout. They must match
// resources/snow_mod.json (tests/host/ui/test_resources.cpp reads both). A parameter's
// own control and label ids live in its row of snow/snow_params.h. No host types.
#pragma once

namespace wx::snowres {

// Parameter rollouts (dialog ids) and their title strings.
inline constexpr int kMainDialog = 1800;
inline constexpr int kShapeDialog = 1801;
inline constexpr int kShelterDialog = 1802;
inline constexpr int kRegionsDialog = 1803;
inline constexpr int kOutputDialog = 1804;
inline constexpr int kAboutDialog = 7702;  // the About rollout every weather class shows
inline constexpr int kMainTitle = 1900;
inline constexpr int kShapeTitle = 1901;
inline constexpr int kShelterTitle = 1902;
inline constexpr int kRegionsTitle = 1903;
inline constexpr int kOutputTitle = 1904;
inline constexpr int kAboutTitle = 1905;

// Combo box entries.
inline constexpr int kViewportSameAsRender = 3501;
inline constexpr int kViewportCoarser = 3502;
inline constexpr int kShelterWholeSceneText = 3503;
inline constexpr int kShelterThisObjectText = 3504;
inline constexpr int kShelterNothingText = 3505;
inline constexpr int kRegionNoSnowText = 3506;
inline constexpr int kRegionSnowOnlyHereText = 3507;
inline constexpr int kRegionFullSnowText = 3508;
inline constexpr int kOutputObjectAndSnowText = 3509;
inline constexpr int kOutputSnowOnlyText = 3510;

// The region list's buttons (the list box is the regions parameter's control).
inline constexpr int kRegionsAdd = 2065;
inline constexpr int kRegionsRemove = 2066;

}  // namespace wx::snowres

namespace wx {

// The dialog of the "Snow - Tools" rollout and its controls.
enum SnowToolsControl : int {
    kSnowToolsDialog = 7550,
    kSnowToolsStatus = 7552,
    kSnowToolsUpdateShelter = 7553,
    kSnowToolsSnowMaterial = 7554,
    kSnowToolsPaint = 7570,
};

}  // namespace wx
