// The pairing of refined facets by descent, driven in-process on small surfaces.

#include <gtest/gtest.h>

#include "FacetLineage.h"
#include "FacetPairing.h"
#include "ObjLoader.h"
#include "SurfaceHandOver.h"
#include "SurfaceRefinement.h"
#include "support/RecordedDiagnostics.h"
#include "support/Surfaces.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

struct Refined {
    test::PlainSurfaces surfaces;
    FacetLineage positions, texture;

    Refined(const ObjMesh& mesh, int positionSteps, int textureSteps)
        : surfaces(test::buildPlainSurfaces(mesh)),
          positions(surfaces.positions, mesh, CornerSide::kPosition),
          texture(surfaces.texture, mesh, CornerSide::kTexture) {
        refineSurface(surfaces.positions, positions, RefinementRules{},
                      {1, positionSteps, positionSteps});
        refineSurface(surfaces.texture, texture, RefinementRules{},
                      {1, textureSteps, textureSteps});
    }
};

// Every refined texture facet must lie over its paired position facet corner for
// corner, in surfaces whose texture coordinates equal the positions' (x, y).
void expectTextureOverPositions(const ObjMesh& mesh, int steps) {
    Refined r(mesh, steps, steps);
    const FacetPairing pairing(r.positions);
    ASSERT_TRUE(pairing.valid());
    ASSERT_TRUE(r.texture.valid());
    // The corners the lineage read while naming the facets are those CGAL's Wavefront
    // printer lists (the golden files pin those bytes through the binary).
    std::vector<std::size_t> printed;
    for (const auto& cycle : test::facetCycles(r.surfaces.positions)) {
        printed.insert(printed.end(), cycle.begin(), cycle.end());
    }
    EXPECT_EQ(std::vector<std::size_t>(r.positions.corners().begin(), r.positions.corners().end()),
              printed);
    const auto positionCycles = test::facetCycles(r.surfaces.positions);
    const auto textureCycles = test::facetCycles(r.surfaces.texture);
    ASSERT_EQ(positionCycles.size(), textureCycles.size());
    std::vector<bool> used(positionCycles.size());
    for (std::size_t t = 0; t < textureCycles.size(); ++t) {
        const std::uint32_t p = pairing.positionFacet(r.texture.slots()[t]);
        ASSERT_FALSE(used[p]);
        used[p] = true;
        for (unsigned a = 0; a < 4; ++a) {
            const auto& position = r.surfaces.positions.point(
                SurfaceMesh::Vertex_index(static_cast<std::uint32_t>(positionCycles[p][a])));
            const auto& uv = r.surfaces.texture.point(SurfaceMesh::Vertex_index(static_cast<std::uint32_t>(
                textureCycles[t][pairing.textureCorner(p, a, r.texture.rotations()[t])])));
            // Along a seam the two drift apart a little (border and interior rules).
            EXPECT_NEAR(position.x(), uv.x(), 0.3);
            EXPECT_NEAR(position.y(), uv.y(), 0.3);
        }
    }
}

// On a grid across a seam, and where the texture coordinates are listed in another
// order than the positions, so that the two surfaces' vertices and corner cycles start
// differently: the pairing follows the face corners, not where CGAL starts a cycle.
TEST(FacetPairingTest, PairsByDescentAcrossASeam) {
    expectTextureOverPositions(test::loadMesh(test::dataFile("grid_with_seam.obj")), 2);
    expectTextureOverPositions(parseObj("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n"
                                        "vt 1 0\nvt 1 1\nvt 0 1\nvt 0 0\nvt 2 1\nvt 2 0\n"
                                        "f 1/4 2/1 3/2 4/3\nf 5/6 6/5 3/2 2/1\n"),
                               2);
}

TEST(FacetPairingTest, SurfacesThatDoNotMatchTheFacesDoNotPair) {
    const ObjMesh grid = test::loadMesh(test::dataFile("grid_with_seam.obj"));
    const test::PlainSurfaces surfaces = test::buildPlainSurfaces(grid);
    const FacetLineage wrongFaces(surfaces.positions,
                                  parseObj("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n"),
                                  CornerSide::kPosition);
    EXPECT_FALSE(wrongFaces.valid());
    EXPECT_FALSE(FacetPairing(wrongFaces).valid());

    // Refined a different number of times.
    Refined r(grid, 2, 1);
    RefinedMesh refined;
    const FacetPairing pairing(r.positions);
    ASSERT_TRUE(takePositions(r.surfaces.positions, r.positions, refined));
    EXPECT_FALSE(takeTexture(r.surfaces.texture, r.texture, pairing, refined));
    EXPECT_FALSE(refined.textured);
}

}  // namespace
