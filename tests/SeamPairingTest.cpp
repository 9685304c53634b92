// Texture coordinates stay on their facets across the seams of the texture layout,
// where the position surface and the texture surface are refined in different orders.

#include <gtest/gtest.h>

#include <cmath>

#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

namespace {

test::ObjFile refineToObj(const std::string& dataName, int steps, const test::TempDir& dir) {
    const std::string out = dir.file("out.obj");
    test::RunResult r = test::runTool({std::to_string(steps), test::dataFile(dataName), out});
    EXPECT_EQ(r.err, "");
    test::ObjFile obj = test::parseObj(test::readFile(out));
    EXPECT_TRUE(obj.wellFormed());
    return obj;
}

TEST(SeamPairingTest, GridTextureStaysUnderItsPositions) {
    // The texture coordinates equal the positions' (x, y) in units of one input cell.
    // Along the seam the texture layout is refined with border rules and the positions
    // with interior rules, so the two drift a little; a wrongly paired corner is a
    // whole cell or more away.
    test::TempDir dir;
    for (int steps = 1; steps <= 3; ++steps) {
        test::ObjFile obj = refineToObj("grid_with_seam.obj", steps, dir);
        ASSERT_EQ(obj.f.size(), 16u << (2 * steps));
        ASSERT_FALSE(obj.vt.empty()) << "written without texture";
        int misplaced = 0;
        for (const auto& facet : obj.f) {
            for (const auto& c : facet) {
                const auto& p = obj.v[c.p - 1];
                const auto& t = obj.vt[c.t - 1];
                misplaced += std::hypot(t[0] - p[0], t[1] - p[1]) >= 0.5;
            }
        }
        EXPECT_EQ(misplaced, 0) << steps << " steps";
        EXPECT_TRUE(test::textureContinuityProblems(obj).empty()) << steps << " steps";
    }
}

TEST(SeamPairingTest, CubeTextureIsContinuousAcrossEveryEdge) {
    test::TempDir dir;
    for (int steps = 1; steps <= 3; ++steps) {
        test::ObjFile obj = refineToObj("cube_cross_layout.obj", steps, dir);
        const auto problems = test::textureContinuityProblems(obj);
        EXPECT_TRUE(problems.empty()) << steps << " steps: " << problems.size()
                                      << " broken edges, first " << problems.front();
    }
}

}  // namespace
