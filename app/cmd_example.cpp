#include "app/cmd_example.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/example_town.h"

namespace tweather {

int runExampleCommand(const std::string& output, int triangles) {
    if (triangles < 100 || triangles > 5000000) {
        std::fprintf(stderr, "tweather example: --triangles must be between 100 and 5000000, not %d\n", triangles);
        return 2;
    }
    constexpr float kCentimetresPerMetre = 100.0f;  // the host's default scene unit
    const std::vector<wx::V3> soup = wx::example::makeTown(triangles, 60.0f);

    // Written beside the target and renamed, so a failed write leaves no half file.
    const std::string temp = output + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "tweather example: cannot write '%s' (check the folder exists and is writable)\n",
                     output.c_str());
        return 1;
    }
    bool ok = std::fprintf(f, "# tweather example: a small town, centimetres, Z up\no town\n") > 0;
    for (const wx::V3& p : soup) {
        ok = ok && std::fprintf(f, "v %.6g %.6g %.6g\n", double(p.x * kCentimetresPerMetre),
                                double(p.y * kCentimetresPerMetre), double(p.z * kCentimetresPerMetre)) > 0;
    }
    for (size_t i = 0; i + 2 < soup.size(); i += 3) ok = ok && std::fprintf(f, "f %zu %zu %zu\n", i + 1, i + 2, i + 3) > 0;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), output.c_str()) != 0) {
        std::remove(temp.c_str());
        std::fprintf(stderr, "tweather example: could not write '%s'\n", output.c_str());
        return 1;
    }
    std::printf("wrote %s (%zu triangles)\n", output.c_str(), soup.size() / 3);
    return 0;
}

}  // namespace tweather
