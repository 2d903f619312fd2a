// The shipped dialog resources and string table, read from resources/*.json and checked
// against tables written here by hand: every parameter's controls exist with the right kind
// in the right rollout and group box, under the right label, and every list's entries and
// every rollout title read as the user must see them. A slip in either copy fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "host/ui_model.h"

namespace {

using host::ui::ControlKind;
using host::ui::ControlResource;
using host::ui::DialogResource;

std::string resourcePath(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" / name).string();
}

// How a parameter shows: a check box carries its own label; every other control has a static
// label right before it. A spinner row is an edit box followed by its spinner.
enum class Shape { Check, Spinner, Combo, Edit, NodeList, Swatch, PickButton };

struct ParamUi {
    const char* name;  // the parameter's internal name, for messages
    int dialog;
    const wchar_t* group;  // the group box it sits in
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

const ParamUi kSnowParams[] = {
    {"enabled", 1800, L"Snow", Shape::Check, 2001, 0, 3001, L"Snow on"},
    {"depth", 1800, L"Snow", Shape::Spinner, 2002, 2003, 3002, L"Depth"},
    {"slopeMax", 1800, L"Snow", Shape::Spinner, 2004, 2005, 3003, L"Steepest slope (deg)"},
    {"slopeSoft", 1800, L"Snow", Shape::Spinner, 2006, 2007, 3004, L"Thins over (deg)"},
    {"coverage", 1800, L"Snow", Shape::Spinner, 2008, 2009, 3005, L"Coverage"},
    {"patchScale", 1800, L"Snow", Shape::Spinner, 2010, 2011, 3006, L"Patch size"},
    {"seed", 1800, L"Snow", Shape::Spinner, 2012, 2013, 3007, L"Seed"},
    {"groundCover", 1800, L"Snow", Shape::Spinner, 2014, 2015, 3008, L"Street level coverage"},
    {"groundBand", 1800, L"Snow", Shape::Spinner, 2016, 2017, 3009, L"Street level band"},
    {"edgeRound", 1801, L"Edges", Shape::Spinner, 2018, 2019, 3010, L"Rounded lip width"},
    {"smoothing", 1801, L"Edges", Shape::Spinner, 2020, 2021, 3011, L"Soften amount (passes)"},
    {"overhang", 1801, L"Edges", Shape::Spinner, 2022, 2023, 3012, L"Overhang (cornice)"},
    {"noiseAmount", 1801, L"Surface", Shape::Spinner, 2024, 2025, 3013, L"Bumps"},
    {"noiseScale", 1801, L"Surface", Shape::Spinner, 2026, 2027, 3014, L"Bump size"},
    {"resolution", 1801, L"Detail", Shape::Spinner, 2028, 2029, 3015, L"Detail (edge length)"},
    {"maxTris", 1801, L"Detail", Shape::Spinner, 2030, 2031, 3016, L"Max triangles"},
    {"vpCoarse", 1801, L"Detail", Shape::Combo, 2032, 0, 3017, L"Viewport", {3501, 3502}},
    {"occluders", 1802, L"Shelter", Shape::Combo, 2033, 0, 3018, L"Shelter from", {3503, 3504, 3505}},
    {"occlusion", 1802, L"Shelter", Shape::Spinner, 2034, 2035, 3019, L"Shelter strength"},
    {"occRays", 1802, L"Shelter", Shape::Spinner, 2036, 2037, 3020, L"Rays per point"},
    {"spread", 1802, L"Shelter", Shape::Spinner, 2038, 2039, 3021, L"Fall spread (deg)"},
    {"occDist", 1802, L"Shelter", Shape::Spinner, 2040, 2041, 3022, L"Max distance (0 = any)"},
    {"useGPU", 1802, L"Shelter", Shape::Check, 2042, 0, 3023, L"Use the GPU (same result)"},
    {"windAngle", 1802, L"Wind", Shape::Spinner, 2043, 2044, 3024, L"Blows toward (deg)"},
    {"drift", 1802, L"Wind", Shape::Spinner, 2045, 2046, 3025, L"Drift"},
    {"leeDist", 1802, L"Wind", Shape::Spinner, 2047, 2048, 3026, L"Lee reach"},
    {"regions", 1803, L"Regions", Shape::NodeList, 2049, 0, 3027, L"Region objects (box, sphere, any)"},
    {"regionMode", 1803, L"Regions", Shape::Combo, 2050, 0, 3028, L"Inside", {3506, 3507, 3508}},
    {"regionFalloff", 1803, L"Regions", Shape::Spinner, 2051, 2052, 3029, L"Soft edge"},
    {"regionStrength", 1803, L"Regions", Shape::Spinner, 2053, 2054, 3030, L"Strength"},
    {"usePaint", 1803, L"Paint", Shape::Check, 2055, 0, 3031, L"Use painted colour (white = snow)"},
    {"paintChannel", 1803, L"Paint", Shape::Spinner, 2056, 2057, 3032, L"Map channel (0 = vertex colour)"},
    {"output", 1804, L"Output", Shape::Combo, 2058, 0, 3033, L"Result", {3509, 3510}},
    {"matID", 1804, L"Output", Shape::Spinner, 2059, 2060, 3034, L"Snow material ID"},
    {"excludeIDs", 1804, L"Output", Shape::Edit, 2061, 0, 3035, L"No snow on IDs"},
    {"closed", 1804, L"Output", Shape::Check, 2062, 0, 3036, L"Closed solid (for SSS)"},
    {"uvScale", 1804, L"Output", Shape::Spinner, 2063, 2064, 3037, L"UV tile size"},
};

const StringText kSnowItems[] = {
    {3501, L"Same as render"}, {3502, L"Coarser (3x, faster)"},
    {3503, L"Whole scene"},    {3504, L"This object only"},
    {3505, L"Nothing"},        {3506, L"No snow"},
    {3507, L"Snow only here"}, {3508, L"Full snow (ignore shelter)"},
    {3509, L"Object + snow"},  {3510, L"Snow only"},
};

const DialogTitle kSnowTitles[] = {
    {1800, 1900, L"Tarnwick Snow"},    {1801, 1901, L"Shape & Edges"}, {1802, 1902, L"Shelter & Wind"},
    {1803, 1903, L"Regions (gizmos)"}, {1804, 1904, L"Output"},        {7702, 1905, L"About / Help"},
};

// Controls that are no parameter's: buttons and status texts of command rollouts.
struct CommandControl {
    int dialog;
    int id;
    ControlKind kind;
    const wchar_t* label;
};

const CommandControl kSnowCommands[] = {
    {1803, 2065, ControlKind::Button, L"Add..."},
    {1803, 2066, ControlKind::Button, L"Remove"},
    {7550, 7553, ControlKind::Button, L"Update shelter"},
    {7550, 7554, ControlKind::Button, L"Snow material"},
    {7550, 7570, ControlKind::Button, L"Paint snow / wetness (brush)..."},
    {7550, 7552, ControlKind::Static, L""},
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
    EXPECT_EQ(group->label, p.group);
    EXPECT_EQ(main.itemIds, p.items);
}

// Every control with an id of its own is one the tables name, none is named twice, and every
// list's entries are strings: a control the tables do not know is a transcription slip too.
void checkDialogsHoldOnly(const std::vector<int>& dialogs, std::span<const ParamUi> params,
                          std::span<const CommandControl> commands) {
    for (int id : dialogs) {
        const DialogResource* d = host::ui::findDialogResource(id);
        ASSERT_NE(d, nullptr) << "dialog " << id;
        std::multiset<int> expected, found;
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
        EXPECT_EQ(found, expected) << "dialog " << id;
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
    for (const ParamUi& p : kSnowParams) checkParam(p);
    checkDialogsHoldOnly({1800, 1801, 1802, 1803, 1804, 7550}, kSnowParams, kSnowCommands);
    checkCommands(kSnowCommands);
    checkTitles(kSnowTitles);
    checkStrings(kSnowItems);
    ASSERT_NE(host::ui::findDialogResource(7550), nullptr);
    EXPECT_EQ(host::ui::findDialogResource(7550)->title, L"Snow - Tools");
}

}  // namespace
