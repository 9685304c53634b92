// The texture layout is the mesh's own connectivity cut open along its texture
// seams: texture coordinates shared where the mesh does not touch are refined apart,
// parts touching at a vertex are refined on their own, and faces without texture
// keep the texture of the others.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "ObjLoader.h"
#include "TextureLayout.h"
#include "support/ObjFile.h"
#include "support/RecordedDiagnostics.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

namespace {

struct ToolRun {
    test::RunResult result;
    test::ObjFile obj;
};

ToolRun refine(const std::string& name, int steps, const test::TempDir& dir) {
    ToolRun run;
    const std::string out = dir.file("out.obj");
    run.result = test::runTool({std::to_string(steps), test::dataFile(name), out});
    if (test::fileExists(out)) {
        run.obj = test::parseObj(test::readFile(out), /*someUntextured=*/true);
    }
    return run;
}

// Checks every corner's texture coordinate against `expected` of its position.
void expectUvs(const test::ObjFile& obj,
               const std::function<std::array<double, 2>(const std::array<double, 3>&)>& expected) {
    ASSERT_FALSE(obj.f.empty());
    ASSERT_FALSE(obj.vt.empty()) << "written without texture";
    for (const auto& facet : obj.f) {
        for (const auto& c : facet) {
            const auto& p = obj.v[c.p - 1];
            const auto uv = expected(p);
            EXPECT_NEAR(obj.vt[c.t - 1][0], uv[0], 1e-5) << p[0] << " " << p[1];
            EXPECT_NEAR(obj.vt[c.t - 1][1], uv[1], 1e-5) << p[0] << " " << p[1];
        }
    }
}

TEST(TextureLayoutTest, ACoordinateUsedAtTwoPlacesIsRefinedAtEach) {
    // Each quad alone is refined as an affine map of its texture, so every corner's
    // texture coordinate is that map of its position.
    test::TempDir dir;
    for (int steps = 1; steps <= 2; ++steps) {
        // Front and back of the card both show the texture as (x, y).
        expectUvs(refine("double_sided_card.obj", steps, dir).obj, [](const auto& p) {
            return std::array<double, 2>{p[0], p[1]};
        });
        // The mirrored copy at x in [2, 3] shows it as (3 - x, y).
        expectUvs(refine("mirrored_quads_sharing_texture.obj", steps, dir).obj, [](const auto& p) {
            return std::array<double, 2>{p[0] <= 1 ? p[0] : 3 - p[0], p[1]};
        });
    }
}

TEST(TextureLayoutTest, IslandsTouchingAtACornerKeepTheirTextureApart) {
    // The refined texture of each island stays within the island's coordinates, the
    // corner they share included (smoothed from both, it would land outside both).
    struct Island {
        double u0, u1, v0, v1;
    };
    // Per quad of positions: bottom left, bottom right, top right, top left.
    const Island islands[] = {
        {0, 0.45, 0, 0.43}, {0.5, 0.9, -0.1, 0.33}, {0.4, 0.8, 0.4, 0.8}, {-0.1, 0.35, 0.5, 0.9}};
    test::TempDir dir;
    const ToolRun run = refine("islands_touching_at_one_corner.obj", 2, dir);
    ASSERT_EQ(run.obj.f.size(), 64u);
    ASSERT_FALSE(run.obj.vt.empty()) << "written without texture";
    int atSharedCorner = 0;
    for (const auto& facet : run.obj.f) {
        double x = 0, y = 0;
        for (const auto& c : facet) {
            x += run.obj.v[c.p - 1][0] / 4;
            y += run.obj.v[c.p - 1][1] / 4;
        }
        const Island& island = islands[y < 1 ? (x < 1 ? 0 : 1) : (x < 1 ? 3 : 2)];
        for (const auto& c : facet) {
            const auto& uv = run.obj.vt[c.t - 1];
            // Both islands keep the coordinate they share at the corner they share.
            const auto& p = run.obj.v[c.p - 1];
            if (p[0] == 1 && p[1] == 1 && (x - 1) * (y - 1) > 0) {
                ++atSharedCorner;
                EXPECT_EQ(uv, (std::array<double, 2>{0.45, 0.43}));
            }
            EXPECT_TRUE(uv[0] >= island.u0 && uv[0] <= island.u1 && uv[1] >= island.v0 &&
                        uv[1] <= island.v1)
                << uv[0] << " " << uv[1] << " on the facet around " << x << " " << y;
        }
    }
    EXPECT_EQ(atSharedCorner, 2);
}

TEST(TextureLayoutTest, PartsTouchingAtAVertexAreRefinedApart) {
    test::TempDir dir;
    const ToolRun run = refine("bow_tie.obj", 1, dir);
    // Each quad refined alone: 9 vertices each.
    ASSERT_EQ(run.obj.v.size(), 18u);
    for (const auto& facet : run.obj.f) {
        // Every facet lies within one of the two quads.
        const double side = run.obj.v[facet[0].p - 1][0] + run.obj.v[facet[0].p - 1][1];
        for (const auto& c : facet) {
            const auto& p = run.obj.v[c.p - 1];
            EXPECT_TRUE(side > 0 ? p[0] >= 0 && p[1] >= 0 : p[0] <= 0 && p[1] <= 0)
                << p[0] << " " << p[1];
        }
    }
    // The shared corner's children stay at the corners of their own quads.
    int nearCorner = 0;
    for (const auto& p : run.obj.v) {
        nearCorner += std::fabs(p[0]) == 0.125f && std::fabs(p[1]) == 0.125f;
        EXPECT_FALSE(std::fabs(p[0]) == 0.125f && p[0] == -p[1]) << p[0] << " " << p[1];
    }
    EXPECT_EQ(nearCorner, 2);
}

TEST(TextureLayoutTest, FacesWithoutTextureKeepTheTextureOfTheOthers) {
    test::TempDir dir;
    const ToolRun run = refine("faces_with_and_without_texture_indices.obj", 1, dir);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_NE(run.result.out.find("Begin To Subdividing UV"), std::string::npos);
    ASSERT_EQ(run.obj.f.size(), 36u);
    std::vector<bool> used(run.obj.vt.size());
    std::size_t untextured = 0;
    for (const auto& facet : run.obj.f) {
        double x = 0, y = 0;
        for (const auto& c : facet) {
            x += run.obj.v[c.p - 1][0] / 4;
            y += run.obj.v[c.p - 1][1] / 4;
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
    EXPECT_TRUE(test::textureContinuityProblems(run.obj).empty());
}

TEST(TextureLayoutTest, LayoutVerticesKeepTheNumbersOfTheirCoordinates) {
    // The card: the front keeps texture coordinates 1 to 4, the back gets copies of
    // them after those, in the order it names them.
    const faceloom::ObjMesh card = test::loadMesh(test::dataFile("double_sided_card.obj"));
    const auto layout = faceloom::layoutFromConnectivity(card);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->mesh.uvCount(), 8u);
    const std::vector<unsigned> expected = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<unsigned> vertices;
    for (std::uint64_t c = 0; c < layout->mesh.cornerCount(); ++c) {
        vertices.push_back(layout->mesh.corners[c].texture);
        // positions as they were
        EXPECT_EQ(layout->mesh.corners[c].position, card.corners[c].position);
        const auto uv = layout->mesh.uvs[layout->mesh.corners[c].texture - 1];
        const auto original = card.uvs[card.corners[c].texture - 1];
        EXPECT_EQ(uv.x, original.x);
        EXPECT_EQ(uv.y, original.y);
    }
    EXPECT_EQ(vertices, expected);

    // A mesh without such sharing keeps its texture indices, unused ones included.
    const faceloom::ObjMesh cube = test::loadMesh(test::cubeFile());
    const auto same = faceloom::layoutFromConnectivity(cube);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->mesh.uvCount(), cube.uvCount());
    for (std::uint64_t c = 0; c < cube.cornerCount(); ++c) {
        EXPECT_EQ(same->mesh.corners[c].texture, cube.corners[c].texture);
    }

    // The last resort: one layout vertex per corner.
    const faceloom::ObjMesh islands = faceloom::faceIslands(layout->mesh);
    EXPECT_EQ(islands.uvCount(), 8u);
    EXPECT_EQ(islands.corners[5].texture, 6u);
    EXPECT_EQ(islands.uvs[5].x, layout->mesh.uvs[layout->mesh.corners[5].texture - 1].x);
}

TEST(TextureLayoutTest, GridTextureStaysUnderItsPositionsAcrossASeam) {
    // The texture coordinates equal the positions' (x, y) in units of one input cell.
    // Along the seam the texture layout is refined with border rules and the positions
    // with interior rules, so the two drift a little; a wrongly paired corner is a
    // whole cell or more away.
    test::TempDir dir;
    for (int steps = 1; steps <= 3; ++steps) {
        const test::ObjFile obj = refine("grid_with_seam.obj", steps, dir).obj;
        ASSERT_EQ(obj.f.size(), 16u << (2 * steps));
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

TEST(TextureLayoutTest, AStripFoldedOverInTheLayoutMirrorsItsTexture) {
    // The faces agree along every edge: one strip, folded over in the layout. A corner
    // at x in the first half has u = x / 2, in the second half u = (4 - x) / 2.
    test::TempDir dir;
    const test::ObjFile obj = refine("mirrored_texture_strip.obj", 2, dir).obj;
    ASSERT_EQ(obj.vt.size(), obj.v.size());
    EXPECT_EQ(obj.f.size(), 64u);
    for (const auto& facet : obj.f) {
        for (const auto& c : facet) {
            const double x = obj.v[c.p - 1][0], u = obj.vt[c.t - 1][0];
            EXPECT_NEAR(u, x <= 2 ? x / 2 : (4 - x) / 2, 0.2) << x;
        }
    }
}

}  // namespace
