// The shipped dialog resources and string table, read from resources/*.json and checked
// against tables written here by hand (the snow modifier's and the fall object's: against
// their parameter tables):
// every parameter's controls exist with the right kind in the right rollout and group box,
// under the right label, and every list's entries and every rollout title read as the user
// must see them. A slip in either copy fails.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fall/fall_params.h"
#include "host/ui_model.h"
#include "snow/snow_params.h"

namespace {

using host::ui::ControlKind;
using host::ui::ControlResource;
using host::ui::DialogResource;

std::string resourcePath(const char* name) {
    return (std::filesystem::path(WX_SOURCE_DIR) / "resources" / name).string();
}

// How a parameter shows: a check box carries its own label; every other control has a static
// label right before it. A spinner row is an edit box followed by its spinner.
enum class Shape { Check, Spinner, Combo, Edit, NodeList, Swatch, PickButton };

struct ParamUi {
    const char* name;  // the parameter's internal name, for messages
    int dialog;
    const wchar_t* group;  // the group box it sits in; null: in some group box
    Shape shape;
    int control;  // check box, edit box, combo box, list box, swatch or button
    int spinner;  // Spinner only
    UINT label;   // string id
    const wchar_t* text;
    std::vector<UINT> items = {};  // Combo only, in index order
};

struct StringText {
    UINT id;
    const wchar_t* text;
};

struct DialogTitle {
    int dialog;
    UINT titleId;
    const wchar_t* title;
};

const StringText kSnowItems[] = {
    {3501, L"Same as render"}, {3502, L"Coarser (3x, faster)"},
    {3503, L"Whole scene"},    {3504, L"This object only"},
    {3505, L"Nothing"},        {3506, L"No snow"},
    {3507, L"Snow only here"}, {3508, L"Full snow (ignore shelter)"},
    {3509, L"Object + snow"},  {3510, L"Snow only"},
};

// Controls that are no parameter's: buttons and status texts of command rollouts.
struct CommandControl {
    int dialog;
    int id;
    ControlKind kind;
    const wchar_t* label;
};

const CommandControl kSnowCommands[] = {
    {wx::snowres::kRegionsDialog, wx::snowres::kRegionsAdd, ControlKind::Button, L"Add..."},
    {wx::snowres::kRegionsDialog, wx::snowres::kRegionsRemove, ControlKind::Button, L"Remove"},
    {wx::kSnowToolsDialog, wx::kSnowToolsUpdateShelter, ControlKind::Button, L"Update shelter"},
    {wx::kSnowToolsDialog, wx::kSnowToolsSnowMaterial, ControlKind::Button, L"Snow material"},
    {wx::kSnowToolsDialog, wx::kSnowToolsPaint, ControlKind::Button, L"Paint snow / wetness (brush)..."},
    {wx::kSnowToolsDialog, wx::kSnowToolsStatus, ControlKind::Static, L""},
};

// A class's parameters as its parameter table has them. The group boxes are the dialog's
// layout, not the parameters', so they are not checked for these.
template <class Record>
std::vector<ParamUi> paramsFromTable(std::span<const wx::ParamRow<Record>> rows,
                                     std::span<const wx::ParamRolloutRow> rollouts) {
    std::vector<ParamUi> out;
    for (const wx::ParamRow<Record>& row : rows) {
        int dialog = 0;
        for (const wx::ParamRolloutRow& r : rollouts)
            if (r.map == row.map) dialog = r.dialogId;
        const Shape shape = row.kind == wx::ParamKind::Bool        ? Shape::Check
                            : row.kind == wx::ParamKind::Combo     ? Shape::Combo
                            : row.kind == wx::ParamKind::String    ? Shape::Edit
                            : row.kind == wx::ParamKind::NodeTable ? Shape::NodeList
                            : row.kind == wx::ParamKind::Colour    ? Shape::Swatch
                            : row.kind == wx::ParamKind::Node      ? Shape::PickButton
                                                                   : Shape::Spinner;
        static std::deque<std::string> names;  // ParamUi holds a plain pointer; a deque keeps them in place
        names.emplace_back();
        for (const wchar_t* c = row.name; *c; ++c) names.back() += char(*c);
        out.push_back({names.back().c_str(), dialog, nullptr, shape, row.controls[0],
                       shape == Shape::Spinner ? row.controls[1] : 0, UINT(row.labelId), row.label,
                       std::vector<UINT>(row.items.begin(), row.items.end())});
    }
    return out;
}

std::vector<ParamUi> snowParamsFromTable() {
    return paramsFromTable(wx::snowParamRows(), std::span<const wx::ParamRolloutRow>(wx::kSnowRollouts));
}

std::vector<ParamUi> fallParamsFromTable() {
    return paramsFromTable(wx::fallParamRows(), std::span<const wx::ParamRolloutRow>(wx::kFallRollouts));
}

// The rollouts' titles as the parameter table has them; `skipDialog` is a shared rollout
// that another resource file holds.
std::vector<DialogTitle> titlesFromTable(std::span<const wx::ParamRolloutRow> rollouts, int skipDialog = 0) {
    std::vector<DialogTitle> out;
    for (const wx::ParamRolloutRow& r : rollouts)
        if (r.dialogId != skipDialog) out.push_back({r.dialogId, UINT(r.titleId), r.title});
    return out;
}


const StringText kFallItems[] = {
    {wx::fallres::kTypeSnowText, L"Snow"},
    {wx::fallres::kTypeRainText, L"Rain"},
    {wx::fallres::kTypeSandText, L"Sand / dust"},
    {wx::fallres::kRenderSplatsText, L"GPU splats (fast, over the image)"},
    {wx::fallres::kRenderGeometryText, L"Geometry (inside any renderer)"},
    {wx::fallres::kTornadoPickPrompt, L"Tornado"},
};


const CommandControl kFallCommands[] = {
    // The pick button's caption until a node is picked.
    {wx::fallres::kTornadoDialog, wx::fallParamRow(wx::kFallTornadoNode).controls[0], ControlKind::Button, L"None"},
    {7560, 7561, ControlKind::Button, L"Add to the last render"},
    {7560, 7562, ControlKind::Button, L"Render this frame alone..."},
    {7560, 7563, ControlKind::Button, L"Over a sequence..."},
    {7560, 7573, ControlKind::Button, L"Snow / wet / sand on everything inside this volume"},
    {7560, 7564, ControlKind::Static, L""},
};

const ParamUi kMapParams[] = {
    {"mode", 2600, L"Mode", Shape::Combo, 2801, 0, 3801, L"Output", {3901, 3902, 3903, 3904, 3905}},
    {"seed", 2600, L"Mode", Shape::Spinner, 2802, 2803, 3802, L"Seed"},
    {"invert", 2600, L"Mode", Shape::Check, 2804, 0, 3803, L"Invert"},
    {"animSpeed", 2600, L"Mode", Shape::Spinner, 2805, 2806, 3804, L"Animation speed"},
    {"usePaint", 2600, L"Mode", Shape::Check, 2807, 0, 3805, L"Use painted colour (white = full)"},
    {"paintChannel", 2600, L"Mode", Shape::Spinner, 2808, 2809, 3806, L"Map channel (0 = vertex colour)"},
    {"wetness", 2601, L"Wetness", Shape::Spinner, 2810, 2811, 3807, L"Wetness"},
    {"upFacing", 2601, L"Wetness", Shape::Spinner, 2812, 2813, 3808, L"Mostly on upward faces"},
    {"breakup", 2601, L"Wetness", Shape::Spinner, 2814, 2815, 3809, L"Dry patches"},
    {"breakupScale", 2601, L"Wetness", Shape::Spinner, 2816, 2817, 3810, L"Patch size"},
    {"sheltered", 2601, L"Wetness", Shape::Check, 2818, 0, 3811, L"Under cover stays dry"},
    {"puddleAmount", 2601, L"Puddles", Shape::Spinner, 2819, 2820, 3812, L"Puddle cover"},
    {"puddleScale", 2601, L"Puddles", Shape::Spinner, 2821, 2822, 3813, L"Puddle size"},
    {"puddleEdge", 2601, L"Puddles", Shape::Spinner, 2823, 2824, 3814, L"Edge softness"},
    {"flatOnly", 2601, L"Puddles", Shape::Spinner, 2825, 2826, 3815, L"Only flatter than (cos)"},
    {"rippleScale", 2602, L"Ripples", Shape::Spinner, 2827, 2828, 3816, L"Ring spacing cell"},
    {"rippleSpeed", 2602, L"Ripples", Shape::Spinner, 2829, 2830, 3817, L"Drops per second"},
    {"rippleDensity", 2602, L"Ripples", Shape::Spinner, 2831, 2832, 3818, L"Ring strength"},
    {"dropScale", 2602, L"Glass", Shape::Spinner, 2833, 2834, 3819, L"Drop size"},
    {"dropSpeed", 2602, L"Glass", Shape::Spinner, 2835, 2836, 3820, L"Run speed (/s)"},
    {"dropDensity", 2602, L"Glass", Shape::Spinner, 2837, 2838, 3821, L"Drops"},
    {"sparkleDensity", 2602, L"Sparkle", Shape::Spinner, 2839, 2840, 3822, L"Sparkle amount"},
    {"sparkleScale", 2602, L"Sparkle", Shape::Spinner, 2841, 2842, 3823, L"Sparkle size"},
};

const StringText kMapItems[] = {
    {3901, L"Wetness (mask)"},        {3902, L"Puddles (mask)"},      {3903, L"Rain ripples (bump)"},
    {3904, L"Drops on glass (bump)"}, {3905, L"Snow sparkle (mask)"},
};

const DialogTitle kMapTitles[] = {
    {2600, 2700, L"Tarnwick Weather Map"},
    {2601, 2701, L"Wetness & Puddles"},
    {2602, 2702, L"Ripples, Drops, Sparkle"},
};

// The utility panel fills its two lists itself (preset names, apply-to entries).
const CommandControl kUtilityControls[] = {
    {7500, 7502, ControlKind::ComboBox, L""},
    {7500, 7503, ControlKind::Static, L""},
    {7500, 7504, ControlKind::ComboBox, L""},
    {7500, 7505, ControlKind::CheckBox, L"Snow / wetness on the objects"},
    {7500, 7506, ControlKind::CheckBox, L"Falling snow / rain over them"},
    {7500, 7507, ControlKind::CheckBox, L"Materials (snow, wet, puddles)"},
    {7500, 7508, ControlKind::Button, L"MAKE WEATHER"},
    {7500, 7509, ControlKind::Button, L"Remove"},
    {7500, 7510, ControlKind::Button, L"Update shelter (scene moved)"},
    {7500, 7511, ControlKind::Button, L"Bake snow to a mesh"},
    {7500, 7571, ControlKind::Button, L"Weather Material (snow, sand, moss...)"},
    {7500, 7572, ControlKind::Button, L"Paint (brush)"},
    {7500, 7512, ControlKind::Static, L""},
    {7701, 7706, ControlKind::Static, L""},
    {7701, 7704, ControlKind::Button, L"User guide / Help"},
    {7701, 7705, ControlKind::Button, L""},
};

std::wstring stringText(UINT id) {
    const std::wstring* s = host::ui::findString(id);
    return s ? *s : L"<missing string " + std::to_wstring(id) + L">";
}

// The position of a control in its dialog, or -1.
int indexOf(const DialogResource& d, int id) {
    for (size_t k = 0; k < d.controls.size(); ++k)
        if (d.controls[k].id == id) return int(k);
    return -1;
}

void expectKind(const DialogResource& d, int id, ControlKind kind, const char* name) {
    int at = indexOf(d, id);
    ASSERT_GE(at, 0) << name << ": control " << id << " missing from dialog " << d.id;
    EXPECT_EQ(d.controls[size_t(at)].kind, kind) << name << ": control " << id << " in dialog " << d.id;
}

ControlKind mainKind(Shape shape) {
    switch (shape) {
        case Shape::Check:
            return ControlKind::CheckBox;
        case Shape::Spinner:
        case Shape::Edit:
            return ControlKind::Edit;
        case Shape::Combo:
            return ControlKind::ComboBox;
        case Shape::NodeList:
            return ControlKind::ListBox;
        case Shape::Swatch:
            return ControlKind::ColorSwatch;
        case Shape::PickButton:
            return ControlKind::Button;
    }
    return ControlKind::Custom;
}

void checkParam(const ParamUi& p) {
    SCOPED_TRACE(p.name);
    const DialogResource* d = host::ui::findDialogResource(p.dialog);
    ASSERT_NE(d, nullptr) << "dialog " << p.dialog;
    expectKind(*d, p.control, mainKind(p.shape), p.name);
    int at = indexOf(*d, p.control);
    if (at < 0) return;
    const ControlResource& main = d->controls[size_t(at)];
    if (p.shape == Shape::Spinner) {
        expectKind(*d, p.spinner, ControlKind::Spinner, p.name);
        const ControlResource* spin = host::ui::findControlResource(p.dialog, p.spinner);
        if (spin) {
            EXPECT_EQ(spin->buddy, p.control) << "the spinner drives another edit box";
        }
    }
    // The label: the check box's own caption, else the static just before the control.
    const ControlResource* label = p.shape == Shape::Check ? &main : at > 0 ? &d->controls[size_t(at - 1)] : nullptr;
    ASSERT_NE(label, nullptr) << "no label before control " << p.control;
    if (p.shape != Shape::Check) {
        EXPECT_EQ(label->kind, ControlKind::Static) << "before control " << p.control;
    }
    EXPECT_EQ(label->labelId, p.label);
    EXPECT_EQ(label->label, p.text);
    EXPECT_EQ(stringText(p.label), p.text);
    // The group box: the nearest one above the control.
    const ControlResource* group = nullptr;
    for (int k = at; k >= 0 && !group; --k)
        if (d->controls[size_t(k)].kind == ControlKind::Group) group = &d->controls[size_t(k)];
    ASSERT_NE(group, nullptr) << "control " << p.control << " is in no group box";
    if (p.group) {
        EXPECT_EQ(group->label, p.group);
    }
    EXPECT_EQ(main.itemIds, p.items);
}

// Every control with an id of its own is one the tables name, none is named twice, and every
// list's entries are strings: a control the tables do not know is a transcription slip too.
void checkDialogsHoldOnly(const std::vector<int>& dialogs, std::span<const ParamUi> params,
                          std::span<const CommandControl> commands) {
    for (int id : dialogs) {
        const DialogResource* d = host::ui::findDialogResource(id);
        ASSERT_NE(d, nullptr) << "dialog " << id;
        std::set<int> expected;  // a pick button is both a parameter's control and a captioned command
        std::multiset<int> found;
        for (const ParamUi& p : params)
            if (p.dialog == id) {
                expected.insert(p.control);
                if (p.spinner) expected.insert(p.spinner);
            }
        for (const CommandControl& c : commands)
            if (c.dialog == id) expected.insert(c.id);
        for (const ControlResource& c : d->controls) {
            if (c.id != host::ui::kStaticId) found.insert(c.id);
            EXPECT_EQ(c.items.size(), c.itemIds.size());
        }
        EXPECT_EQ(found, std::multiset<int>(expected.begin(), expected.end())) << "dialog " << id;
    }
}

void checkCommands(std::span<const CommandControl> commands) {
    for (const CommandControl& c : commands) {
        const ControlResource* r = host::ui::findControlResource(c.dialog, c.id);
        ASSERT_NE(r, nullptr) << "control " << c.id << " of dialog " << c.dialog;
        EXPECT_EQ(r->kind, c.kind) << "control " << c.id;
        EXPECT_EQ(r->label, c.label) << "control " << c.id;
    }
}

void checkTitles(std::span<const DialogTitle> titles) {
    for (const DialogTitle& t : titles) {
        const DialogResource* d = host::ui::findDialogResource(t.dialog);
        ASSERT_NE(d, nullptr) << "dialog " << t.dialog;
        EXPECT_EQ(d->titleId, t.titleId) << "dialog " << t.dialog;
        EXPECT_EQ(d->title, t.title) << "dialog " << t.dialog;
        EXPECT_EQ(stringText(t.titleId), t.title);
    }
}

void checkStrings(std::span<const StringText> strings) {
    for (const StringText& s : strings) EXPECT_EQ(stringText(s.id), s.text) << "string " << s.id;
}

// Each file loads alone, into an empty table, as the module loader may meet them in any order.
struct ResourceFile : ::testing::Test {
    void load(const char* name) {
        host::ui::resetUi();
        std::string error;
        ASSERT_TRUE(host::ui::loadResources(resourcePath(name), error)) << error;
    }
    void TearDown() override { host::ui::resetUi(); }
};

TEST_F(ResourceFile, SnowModifier) {
    ASSERT_NO_FATAL_FAILURE(load("snow_mod.json"));
    const std::vector<ParamUi> params = snowParamsFromTable();
    for (const ParamUi& p : params) checkParam(p);
    std::vector<int> dialogs = {wx::kSnowToolsDialog};
    for (const wx::ParamRolloutRow& r : wx::kSnowRollouts)
        if (r.dialogId != wx::snowres::kAboutDialog) dialogs.push_back(r.dialogId);
    checkDialogsHoldOnly(dialogs, params, kSnowCommands);
    checkCommands(kSnowCommands);
    checkTitles(titlesFromTable(wx::kSnowRollouts));
    checkStrings(kSnowItems);
    ASSERT_NE(host::ui::findDialogResource(wx::kSnowToolsDialog), nullptr);
    EXPECT_EQ(host::ui::findDialogResource(wx::kSnowToolsDialog)->title, L"Snow - Tools");
}

TEST_F(ResourceFile, FallObject) {
    ASSERT_NO_FATAL_FAILURE(load("weather_fall.json"));
    const std::vector<ParamUi> params = fallParamsFromTable();
    for (const ParamUi& p : params) checkParam(p);
    std::vector<int> dialogs = {7560};
    for (const wx::ParamRolloutRow& r : wx::kFallRollouts)
        if (r.dialogId != wx::fallres::kAboutDialog) dialogs.push_back(r.dialogId);
    checkDialogsHoldOnly(dialogs, params, kFallCommands);
    checkCommands(kFallCommands);
    checkTitles(titlesFromTable(wx::kFallRollouts, wx::fallres::kAboutDialog));
    checkStrings(kFallItems);
    // Its map 6 is the shared About rollout, which another file holds; the title is its own.
    EXPECT_EQ(stringText(UINT(wx::fallres::kAboutTitle)), L"About / Help");
    EXPECT_EQ(host::ui::findDialogResource(7560)->title, L"Fall - GPU render");
}

TEST_F(ResourceFile, WeatherMap) {
    ASSERT_NO_FATAL_FAILURE(load("weather_map.json"));
    for (const ParamUi& p : kMapParams) checkParam(p);
    checkDialogsHoldOnly({2600, 2601, 2602}, kMapParams, {});
    checkTitles(kMapTitles);
    checkStrings(kMapItems);
}

TEST_F(ResourceFile, UtilityPanel) {
    ASSERT_NO_FATAL_FAILURE(load("weather_utility.json"));
    checkDialogsHoldOnly({7500, 7701}, {}, kUtilityControls);
    checkCommands(kUtilityControls);
    const DialogResource* panel = host::ui::findDialogResource(7500);
    std::vector<std::wstring> groups;
    for (const ControlResource& c : panel->controls)
        if (c.kind == ControlKind::Group) groups.push_back(c.label);
    EXPECT_EQ(groups, (std::vector<std::wstring>{L"Weather", L"Scene"}));
    EXPECT_EQ(panel->controls.front().kind, ControlKind::Group) << "every control sits in a group box";
}

// Every file together, in any order, as the module loader loads them: no file takes a string id
// that another file gives a different text, and a rollout made from a parameter dialog lists its
// combo box's entries before its procedure runs.
TEST_F(ResourceFile, AllFilesTogether) {
    const char* files[] = {"snow_mod.json", "weather_fall.json", "weather_map.json", "weather_utility.json"};
    std::map<UINT, std::wstring> seen;
    for (const char* name : files) {
        ASSERT_NO_FATAL_FAILURE(load(name));
        for (UINT id = 1; id < 0x10000; ++id)
            if (const std::wstring* s = host::ui::findString(id)) {
                auto [it, added] = seen.emplace(id, *s);
                EXPECT_TRUE(added || it->second == *s) << "string " << id << " differs in " << name;
            }
    }
    host::ui::resetUi();
    std::string error;
    for (const char* name : files) ASSERT_TRUE(host::ui::loadResources(resourcePath(name), error)) << error;
    DLGPROC proc = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return TRUE; };
    HWND r = host::ui::addRollout(1802, proc, L"", 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(host::ui::rollouts().back().title, L"Shelter & Wind");
    EXPECT_EQ(host::ui::listItems(r, 2033),
              (std::vector<std::wstring>{L"Whole scene", L"This object only", L"Nothing"}));
    EXPECT_TRUE(host::ui::selectItem(r, 2033, 2));
    EXPECT_NE(host::ui::findDialogResource(7702), nullptr);
}

}  // namespace
