// The snow modifier's parameter table against everything built from it: the live parameter
// block (ids, names, types, defaults, ranges and controls, row by row), the settings record
// (each row with a field feeds that field and no other; SnowSettings starts at the table's
// defaults; every number the builder reads has its row), and the cache key (a change of any
// such row rebuilds). A parameter added as one row is checked here without a test edit.
#include <cctype>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <type_traits>

#include "snow/snow_mod_inputs.h"
#include "snow/snow_params.h"
#include "snowmod_fixture.h"

namespace snowmodtest {
namespace {

using wx::ParamKind;
using wx::SnowParamRow;
using wx::SnowSettings;

std::string nameOf(const SnowParamRow& row) {
    std::string s;
    for (const wchar_t* c = row.name; *c; ++c) s += char(*c);
    return s;
}

// How the host shows each kind of value.
struct HostShape {
    int type;
    int control;
    int edit;  // spinners only
};
const std::map<ParamKind, HostShape> kHostShape = {
    {ParamKind::Float, {TYPE_FLOAT, TYPE_SPINNER, EDITTYPE_FLOAT}},
    {ParamKind::WorldLength, {TYPE_WORLD, TYPE_SPINNER, EDITTYPE_UNIVERSE}},
    {ParamKind::Int, {TYPE_INT, TYPE_SPINNER, EDITTYPE_INT}},
    {ParamKind::Bool, {TYPE_BOOL, TYPE_SINGLECHECKBOX, -1}},
    {ParamKind::String, {TYPE_STRING, TYPE_EDITBOX, -1}},
    {ParamKind::NodeTable, {TYPE_INODE_TAB, TYPE_NODELISTBOX, -1}},
    {ParamKind::Combo, {TYPE_INT, TYPE_INT_COMBOBOX, -1}},
};

bool isSpinner(const SnowParamRow& row) {
    return kHostShape.at(row.kind).control == TYPE_SPINNER;
}

// The block's value of a number, switch or combo row, as a double.
double valueOf(IParamBlock2* pb, const SnowParamRow& row) {
    return row.kind == ParamKind::Float || row.kind == ParamKind::WorldLength ? double(pb->GetFloat(row.id, 0))
                                                                              : double(pb->GetInt(row.id, 0));
}

// Sets a row's value one step away from what the block holds, inside its range.
void nudge(IParamBlock2* pb, const SnowParamRow& row) {
    const double now = valueOf(pb, row);
    switch (row.kind) {
        case ParamKind::Bool:
            pb->SetValue(row.id, 0, now == 0.0 ? 1 : 0);
            return;
        case ParamKind::Combo:
            pb->SetValue(row.id, 0, (int(now) + 1) % row.items.count);
            return;
        case ParamKind::Int: {
            const int step = std::max(1, int(row.scale));
            pb->SetValue(row.id, 0, int(now) + step <= row.hi ? int(now) + step : int(now) - step);
            return;
        }
        default:
            pb->SetValue(row.id, 0, float(now + row.scale <= row.hi ? now + row.scale : now - row.scale));
    }
}

// Where a field lies in its record.
std::ptrdiff_t offsetIn(const SnowSettings& s, const void* field) {
    return static_cast<const char*>(field) - reinterpret_cast<const char*>(&s);
}

// Every number in a settings record, by the field's place in it.
std::map<std::ptrdiff_t, double> numbersOf(const SnowSettings& s) {
    std::map<std::ptrdiff_t, double> out;
    wx::forEachSetting(s, [&](const auto& field) {
        if constexpr (std::is_arithmetic_v<std::remove_cvref_t<decltype(field)>>)
            out[offsetIn(s, &field)] = double(field);
    });
    return out;
}

struct SnowParamTable : SnowModTest {
    wx::SnowMod* mod = nullptr;
    IParamBlock2* pb = nullptr;
    void SetUp() override {
        SnowModTest::SetUp();
        mod = static_cast<wx::SnowMod*>(wx::GetSnowModDesc()->Create(FALSE));
        pb = mod->GetParamBlock(0);
    }
    void TearDown() override {
        mod->DeleteThis();
        SnowModTest::TearDown();
    }
    SnowSettings read() {
        Interval valid = FOREVER;
        return wx::readSnowSettings(pb, 0, valid);
    }
};

TEST_F(SnowParamTable, RowsAreWellFormed) {
    std::set<int> ids, controls;
    std::set<std::string> names;
    std::set<int> maps;
    for (const wx::ParamRolloutRow& r : wx::kSnowRollouts) maps.insert(r.map);
    for (const SnowParamRow& row : wx::snowParamRows()) {
        SCOPED_TRACE(nameOf(row));
        EXPECT_TRUE(ids.insert(row.id).second) << "id " << row.id << " taken twice";
        std::string lower = nameOf(row);
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(names.insert(lower).second) << "--set matches names in any letter case";
        EXPECT_TRUE(maps.count(row.map)) << "no rollout " << row.map;
        EXPECT_GT(row.labelId, 0);
        for (int c : row.controls) {
            if (c) {
                EXPECT_TRUE(controls.insert(c).second) << "control " << c << " taken twice";
            }
        }
        if (isSpinner(row)) {
            EXPECT_EQ(row.controls.count, 2) << "an edit box and its spinner";
            EXPECT_GT(row.scale, 0.0f);
            EXPECT_LE(row.lo, row.def);
            EXPECT_LE(row.def, row.hi);
        }
        if (row.kind == ParamKind::Combo) {
            EXPECT_GE(row.items.count, 2);
            EXPECT_LT(row.def, row.items.count);
        }
        if (row.kind == ParamKind::Bool || row.kind == ParamKind::String || row.kind == ParamKind::NodeTable) {
            EXPECT_FALSE(row.animatable);
        }
    }
}

TEST_F(SnowParamTable, EveryRowReachesTheParameterBlock) {
    const ParamBlockDesc2* desc = pb->GetDesc();
    ASSERT_EQ(desc->Count(), int(wx::snowParamRows().size()));
    int index = 0;
    for (const SnowParamRow& row : wx::snowParamRows()) {
        SCOPED_TRACE(nameOf(row));
        const ParamDef& d = desc->paramdefs(index++);
        const HostShape shape = kHostShape.at(row.kind);
        EXPECT_EQ(d.ID, row.id);
        EXPECT_EQ(d.int_name, row.name);
        EXPECT_EQ(d.type, shape.type);
        EXPECT_EQ(d.animatable(), row.animatable);
        EXPECT_EQ(d.local_name, row.labelId);
        EXPECT_EQ(d.label, row.label);
        EXPECT_EQ(d.ctrl_type, shape.control);
        EXPECT_EQ(d.ctrl_map, row.map);
        EXPECT_EQ(d.ctrl_ids, std::vector<int>(row.controls.begin(), row.controls.end()));
        EXPECT_EQ(std::vector<int>(d.items.begin(), d.items.end()),
                  std::vector<int>(row.items.begin(), row.items.end()));
        if (isSpinner(row)) {
            EXPECT_EQ(d.spin_type, shape.edit);
            EXPECT_EQ(d.spin_scale, row.scale);
        }
        // A fresh block holds the default, and a value past either end of the range is clamped.
        if (row.kind == ParamKind::String) {
            EXPECT_EQ(std::wstring(pb->GetStr(row.id, 0)), row.text);
        } else if (row.kind == ParamKind::NodeTable) {
            EXPECT_EQ(pb->Count(row.id), 0);
        } else {
            const bool number = row.kind == ParamKind::Float || row.kind == ParamKind::WorldLength;
            EXPECT_EQ(valueOf(pb, row), number ? double(float(row.def)) : row.def);
        }
        if (isSpinner(row) && row.kind != ParamKind::Int) {
            pb->SetValue(row.id, 0, float(row.hi + 1.0));
            EXPECT_EQ(pb->GetFloat(row.id, 0), float(row.hi));
            pb->SetValue(row.id, 0, float(row.lo - 1.0));
            EXPECT_EQ(pb->GetFloat(row.id, 0), float(row.lo));
        } else if (row.kind == ParamKind::Int || row.kind == ParamKind::Combo) {
            const int hi = row.kind == ParamKind::Combo ? row.items.count - 1 : int(row.hi);
            pb->SetValue(row.id, 0, hi + 1);
            EXPECT_EQ(pb->GetInt(row.id, 0), hi);
            pb->SetValue(row.id, 0, int(row.lo) - 1);
            EXPECT_EQ(pb->GetInt(row.id, 0), int(row.lo));
        }
    }
    ASSERT_EQ(desc->rollouts.size(), std::size(wx::kSnowRollouts));
    for (size_t i = 0; i < desc->rollouts.size(); ++i) {
        const wx::ParamRolloutRow& r = wx::kSnowRollouts[i];
        EXPECT_EQ(desc->rollouts[i].map, r.map);
        EXPECT_EQ(desc->rollouts[i].dialogId, r.dialogId);
        EXPECT_EQ(desc->rollouts[i].titleId, r.titleId);
        EXPECT_EQ(desc->rollouts[i].title, r.title);
        EXPECT_EQ(desc->rollouts[i].rollupFlags, r.closed ? APPENDROLL_CLOSED : 0);
    }
}

// SnowSettings starts where a fresh modifier starts, and every number in it but the
// regions' and the paint's own has exactly one row feeding it.
TEST_F(SnowParamTable, SettingsStartAtTheTableDefaultsAndEveryNumberHasItsRow) {
    const SnowSettings fresh;
    EXPECT_EQ(numbersOf(read()), numbersOf(fresh)) << "a fresh block reads as a fresh record";
    std::map<std::ptrdiff_t, int> rowsPerField;
    for (const SnowParamRow& row : wx::snowParamRows())
        if (row.field.bound()) {
            ++rowsPerField[offsetIn(fresh, row.field.address(fresh))];
            const double expected = row.field.f ? double(float(row.def)) : row.def;
            EXPECT_EQ(row.field.get(fresh), expected) << nameOf(row);
        }
    for (const auto& [field, value] : numbersOf(fresh)) EXPECT_EQ(rowsPerField[field], 1) << "a number without its row";
}

// Each row with a field feeds that field and no other, and changes the cache key.
TEST_F(SnowParamTable, EveryBoundRowFeedsItsFieldAndTheCacheKey) {
    Mesh mesh;
    const wx::SnowKeyExtras extras{false, wx::kShelterNothing, {}, 0};
    int bound = 0;
    for (const SnowParamRow& row : wx::snowParamRows()) {
        if (!row.field.bound()) continue;
        SCOPED_TRACE(nameOf(row));
        ++bound;
        pb->Reset();
        const SnowSettings before = read();
        nudge(pb, row);
        const SnowSettings after = read();
        EXPECT_EQ(row.field.get(after), valueOf(pb, row));
        const std::map<std::ptrdiff_t, double> was = numbersOf(before), now = numbersOf(after);
        std::set<std::ptrdiff_t> changed;
        for (const auto& [field, value] : now)
            if (was.at(field) != value) changed.insert(field);
        EXPECT_EQ(changed, std::set<std::ptrdiff_t>{offsetIn(after, row.field.address(after))});
        EXPECT_NE(wx::snowCacheKey(mesh, before, extras), wx::snowCacheKey(mesh, after, extras));
    }
    EXPECT_GE(bound, 25);
}

// The fields no row feeds, and what the glue adds beside the settings, key the build too.
TEST_F(SnowParamTable, RegionsPaintAndExtrasChangeTheCacheKey) {
    Mesh mesh;
    const SnowSettings plain = read();
    const wx::SnowKeyExtras extras{false, wx::kShelterWholeScene, {}, 7};
    const uint64_t key = wx::snowCacheKey(mesh, plain, extras);
    EXPECT_NE(key, 0u);
    EXPECT_EQ(wx::snowCacheKey(mesh, plain, extras), key);
    SnowSettings withRegion = plain;
    withRegion.regions.emplace_back();
    EXPECT_NE(wx::snowCacheKey(mesh, withRegion, extras), key);
    const std::vector<float> weights = {0.5f};
    SnowSettings painted = plain;
    painted.paintWeights = &weights;
    EXPECT_NE(wx::snowCacheKey(mesh, painted, extras), key);
    const int excluded[] = {3};
    for (const wx::SnowKeyExtras& other : {wx::SnowKeyExtras{true, wx::kShelterWholeScene, {}, 7},
                                           wx::SnowKeyExtras{false, wx::kShelterThisObject, {}, 7},
                                           wx::SnowKeyExtras{false, wx::kShelterWholeScene, excluded, 7},
                                           wx::SnowKeyExtras{false, wx::kShelterWholeScene, {}, 8}})
        EXPECT_NE(wx::snowCacheKey(mesh, plain, other), key);
    // The scene's generation counts only while the whole scene shelters.
    EXPECT_EQ(wx::snowCacheKey(mesh, plain, {false, wx::kShelterNothing, {}, 7}),
              wx::snowCacheKey(mesh, plain, {false, wx::kShelterNothing, {}, 8}));
}

}  // namespace
}  // namespace snowmodtest
