// The pairing of refined facets by descent, driven in-process on small surfaces.

#include <gtest/gtest.h>

#include "builders/PlaneBuilder.h"
#include "builders/TriQuadBuilder.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "support/RecordedDiagnostics.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

struct Surfaces {
    ObjMesh mesh;
    Polyhedron positions, texture;

    explicit Surfaces(ObjMesh record) : mesh(record) {
        test::RecordedDiagnostics diagnostics;
        TriQuadBuilder<HDS> positionBuilder(&mesh, diagnostics);
        PlaneBuilder<HDS> textureBuilder(&mesh, diagnostics);
        positions.delegate(positionBuilder);
        texture.delegate(textureBuilder);
    }
};

std::vector<Polyhedron::Facet_handle> facetsOf(Polyhedron& surface) {
    std::vector<Polyhedron::Facet_handle> facets;
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
        facets.push_back(f);
    }
    return facets;
}

// Every refined texture facet must lie over its paired position facet corner for
// corner, in surfaces whose texture coordinates equal the positions' (x, y).
void expectTextureOverPositions(Surfaces& s, int steps) {
    FacetLineage positions(s.positions, s.mesh, FacetLineage::Side::kPositions);
    FacetLineage texture(s.texture, s.mesh, FacetLineage::Side::kTexture);
    for (int i = 0; i < steps; ++i) {
        refineSurface(s.positions, positions, 1, RefinementRules{});
        refineSurface(s.texture, texture, 1, RefinementRules{});
    }
    const FacetPairing pairing(positions);
    ASSERT_TRUE(pairing.valid());
    ASSERT_TRUE(texture.valid());
    const auto pf = facetsOf(s.positions);
    const auto tf = facetsOf(s.texture);
    ASSERT_EQ(pf.size(), tf.size());
    std::vector<bool> used(pf.size());
    std::size_t moved = 0;
    for (std::size_t t = 0; t < tf.size(); ++t) {
        const std::uint32_t p = pairing.positionFacet(texture.slots()[t]);
        ASSERT_FALSE(used[p]);
        used[p] = true;
        moved += (p != t);
        auto ph = pf[p]->halfedge();
        for (unsigned a = 0; a < 4; ++a, ph = ph->next()) {
            auto th = tf[t]->halfedge();
            for (unsigned k = pairing.textureCorner(p, a, texture.rotations()[t]); k > 0; --k) {
                th = th->next();
            }
            // Along a seam the two drift apart a little (border and interior rules).
            EXPECT_NEAR(ph->vertex()->point().x(), th->vertex()->point().x(), 0.3);
            EXPECT_NEAR(ph->vertex()->point().y(), th->vertex()->point().y(), 0.3);
        }
    }
}

TEST(FacetPairingTest, PairsByDescentAcrossASeam) {
    Surfaces s(test::loadMesh(test::dataFile("grid_with_seam.obj")));
    expectTextureOverPositions(s, 2);
}

TEST(FacetPairingTest, FollowsTheFaceCornersNotWhereCgalStartsACycle) {
    // The texture coordinates are listed in another order than the positions, so the
    // two surfaces' vertices and corner cycles start differently.
    Surfaces s(
        ObjMesh::fromText("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n"
                          "vt 1 0\nvt 1 1\nvt 0 1\nvt 0 0\nvt 2 1\nvt 2 0\n"
                          "f 1/4 2/1 3/2 4/3\nf 5/6 6/5 3/2 2/1\n"));
    expectTextureOverPositions(s, 2);
}

TEST(FacetPairingTest, SurfacesThatDoNotMatchTheFacesDoNotPair) {
    Surfaces grid(test::loadMesh(test::dataFile("grid_with_seam.obj")));
    ObjMesh other = ObjMesh::fromText("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
    FacetLineage wrongFaces(grid.positions, other, FacetLineage::Side::kPositions);
    EXPECT_FALSE(wrongFaces.valid());
    EXPECT_FALSE(FacetPairing(wrongFaces).valid());

    // Refined a different number of times.
    FacetLineage positions(grid.positions, grid.mesh, FacetLineage::Side::kPositions);
    FacetLineage texture(grid.texture, grid.mesh, FacetLineage::Side::kTexture);
    refineSurface(grid.positions, positions, 1, RefinementRules{});
    refineSurface(grid.positions, positions, 1, RefinementRules{});
    refineSurface(grid.texture, texture, 1, RefinementRules{});
    RefinedMesh refined;
    const FacetPairing pairing(positions);
    takePositions(grid.positions, &positions, refined);
    EXPECT_FALSE(takeTexture(grid.texture, texture, pairing, refined));
    EXPECT_FALSE(refined.textured);
}

}  // namespace
