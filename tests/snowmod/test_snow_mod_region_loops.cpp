// Snowed objects that are each other's regions: however the regions lead back, setting
// them up and evaluating them costs time in proportion to the objects, not to the paths
// between them (each change is passed on along every path otherwise).
#include <chrono>

#include "snowmod_fixture.h"

namespace snowmodtest {
namespace {

TEST_F(SnowModTest, RegionsLeadingBackCostLinearTime) {
    // Each object's regions are the next two and the first: every path leads back.
    constexpr int kObjects = 16;
    const auto start = std::chrono::steady_clock::now();
    std::vector<INode*> nodes;
    std::vector<wx::SnowMod*> mods;
    for (int i = 0; i < kObjects; ++i) {
        nodes.push_back(addPlane(200, float(10 * i)));
        mods.push_back(addSnow(nodes.back(), wx::kShelterNothing));
    }
    for (int i = 0; i < kObjects; ++i)
        for (int next : {i + 1, i + 2, 0})
            if (next < kObjects) mods[size_t(i)]->GetParamBlock(0)->Append(wx::kSnowRegions, 1, &nodes[size_t(next)]);
    for (INode* n : nodes) EXPECT_GT(evalMesh(n).numFaces, 2);
    int builds = 0;
    for (wx::SnowMod* m : mods) builds += m->buildCount();
    EXPECT_LE(builds, 4 * kObjects) << "one evaluation of each object";
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0)
        << "about 2^16 paths took half a minute";
}

}  // namespace
}  // namespace snowmodtest
