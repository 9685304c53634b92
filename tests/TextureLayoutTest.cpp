// The texture layout is the mesh's own connectivity cut open along its texture seams,
// and faces without texture keep the texture of the others. (That shared coordinates
// and parts touching at a vertex refine apart is SmoothingTest's: the reference refines
// them the same way.)

#include <gtest/gtest.h>

#include <algorithm>

#include "ObjLoader.h"
#include "TextureLayout.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

namespace {

TEST(TextureLayoutTest, FacesWithoutTextureKeepTheTextureOfTheOthers) {
    test::TempDir dir;
    const std::string out = dir.file("out.obj");
    const test::RunResult run =
        test::runTool({"1", test::dataFile("faces_with_and_without_texture_indices.obj"), out});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Begin To Subdividing UV"), std::string::npos);
    const test::ObjFile obj = test::parseObj(test::readFile(out), /*someUntextured=*/true);
    ASSERT_EQ(obj.f.size(), 36u);
    std::vector<bool> used(obj.vt.size());
    std::size_t untextured = 0;
    for (const auto& facet : obj.f) {
        double x = 0, y = 0;
        for (const auto& c : facet) {
            x += obj.v[c.p - 1][0] / 4;
            y += obj.v[c.p - 1][1] / 4;
            if (c.t != 0) {
                used[c.t - 1] = true;
            }
        }
        // Only the glass, the middle quad, has no texture; all corners alike.
        const bool glass = x > 1 && x < 2 && y > 1 && y < 2;
        untextured += glass;
        for (const auto& c : facet) {
            EXPECT_EQ(c.t == 0, glass) << x << " " << y;
        }
    }
    EXPECT_EQ(untextured, 4u);
    EXPECT_EQ(std::count(used.begin(), used.end(), false), 0);  // no vt line names nothing
    // The frame is continuous where the texture is.
    EXPECT_TRUE(test::textureContinuityProblems(obj).empty());
}

// The numbers of the layout's vertices decide the order of the written "vt" lines.
// On the card, the front keeps texture coordinates 1 to 4 and the back gets copies of
// them after those, in the order it names them. (A mesh without such sharing keeps
// its numbers: the bytes of the known results pin that.)
TEST(TextureLayoutTest, LayoutVerticesKeepTheNumbersOfTheirCoordinates) {
    const faceloom::ObjMesh card = test::loadMesh(test::dataFile("double_sided_card.obj"));
    const auto layout = faceloom::layoutFromConnectivity(card);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->mesh.uvCount(), 8u);
    for (std::uint32_t c = 0; c < layout->mesh.cornerCount(); ++c) {
        EXPECT_EQ(layout->mesh.corners[c].texture, c + 1);
        EXPECT_EQ(layout->mesh.corners[c].position, card.corners[c].position);
        const auto uv = layout->mesh.uvs[c];
        const auto original = card.uvs[card.corners[c].texture - 1];
        EXPECT_TRUE(uv.x == original.x && uv.y == original.y) << c;
    }
    // The last resort: one layout vertex per corner.
    const faceloom::ObjMesh islands = faceloom::faceIslands(layout->mesh);
    EXPECT_EQ(islands.uvCount(), 8u);
    EXPECT_EQ(islands.corners[5].texture, 6u);
    EXPECT_EQ(islands.uvs[5].x, layout->mesh.uvs[5].x);
}

}  // namespace
