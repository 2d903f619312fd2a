// Parameters from the command line on the snow modifier loaded as the host loads it: every
// world length of its parameter table gets its centimetre default in the scene's units
// unless a --set names it, and nothing else is scaled; --set names, defaults and ranges
// are the table's.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/param_assign.h"
#include "app/weather_module.h"
#include "host/class_registry.h"
#include "host/host_app.h"
#include "max/object.h"
#include "max/param_block2.h"
#include "snow/snow_params.h"

using namespace tweather;

namespace {

std::string utf8(const wchar_t* s) {
    std::string out;
    for (; *s; ++s) out += char(*s);
    return out;
}

struct SnowBlockTest : ::testing::Test {
    Modifier* mod = nullptr;
    IParamBlock2* pb = nullptr;
    void SetUp() override {
        std::vector<std::string> errors;
        std::string missing;
        host::startUp(modulesToLoad({}, missing), errors);
        ASSERT_TRUE(missing.empty()) << missing;
        ClassDesc* snow = host::classRegistry().findByName(L"TarnwickSnow");
        ASSERT_NE(snow, nullptr);
        mod = static_cast<Modifier*>(snow->Create(FALSE));
        pb = mod->GetParamBlock(0);
    }
    void TearDown() override {
        if (mod) mod->DeleteThis();
        host::shutDown();
    }
    double value(const wx::SnowParamRow& row) {
        return row.kind == wx::ParamKind::Float || row.kind == wx::ParamKind::WorldLength
                   ? double(pb->GetFloat(row.id, 0))
                   : double(pb->GetInt(row.id, 0));
    }
};

TEST_F(SnowBlockTest, EveryWorldLengthIsScaledUnlessSet) {
    const double metres = 0.01;  // a scene in metres: one unit is 100 cm
    const std::vector<Assignment> sets = {{"DEPTH", "3"}};
    scaleLengthDefaults(pb, sets, metres);
    int scaled = 0;
    for (const wx::SnowParamRow& row : wx::snowParamRows()) {
        if (row.kind == wx::ParamKind::String || row.kind == wx::ParamKind::NodeTable) continue;
        SCOPED_TRACE(utf8(row.name));
        const bool length = row.kind == wx::ParamKind::WorldLength && row.id != wx::kSnowDepth;
        const double expected = row.kind == wx::ParamKind::WorldLength || row.kind == wx::ParamKind::Float
                                    ? double(float(length ? float(row.def * metres) : float(row.def)))
                                    : row.def;
        EXPECT_EQ(value(row), expected);
        scaled += length && row.def != 0.0;
    }
    EXPECT_GT(scaled, 0) << "no length to scale: the test would prove nothing";
}

TEST_F(SnowBlockTest, SetTakesEveryRowByNameWithinItsRange) {
    for (const wx::SnowParamRow& row : wx::snowParamRows()) {
        if (row.kind == wx::ParamKind::String || row.kind == wx::ParamKind::NodeTable) continue;
        SCOPED_TRACE(utf8(row.name));
        EXPECT_GE(findParameter(pb, utf8(row.name)), 0);
        const double hi = row.kind == wx::ParamKind::Combo  ? row.items.count - 1
                          : row.kind == wx::ParamKind::Bool ? 1
                                                            : row.hi;
        std::string warning, error;
        ASSERT_TRUE(assignParameter(pb, {utf8(row.name), std::to_string(int64_t(hi))}, warning, error)) << error;
        EXPECT_EQ(warning, "");
        if (row.kind == wx::ParamKind::Bool) continue;
        ASSERT_TRUE(assignParameter(pb, {utf8(row.name), std::to_string(int64_t(hi) + 1)}, warning, error)) << error;
        EXPECT_NE(warning.find("is outside"), std::string::npos) << "clamped to the row's range";
        EXPECT_EQ(value(row), row.isNumber() ? double(float(hi)) : hi);
    }
}

}  // namespace
