// The pairing of refined facets by descent, driven in-process on small surfaces.

#include <gtest/gtest.h>

#include "app/FacetLineage.h"
#include "app/FacetPairing.h"
#include "app/Refinement.h"
#include "builders/PlaneBuilder.h"
#include "builders/TriQuadBuilder.h"
#include "support/TestSupport.h"

namespace {

struct Surfaces {
    ObjMesh mesh;
    Polyhedron positions, texture;

    explicit Surfaces(const std::string& dataName) : mesh(test::dataFile(dataName).c_str()) {
        TriQuadBuilder<HDS> positionBuilder(&mesh);
        PlaneBuilder<HDS> textureBuilder(&mesh);
        positions.delegate(positionBuilder);
        texture.delegate(textureBuilder);
    }
};

void refineStep(Polyhedron& surface, FacetLineage& lineage) {
    lineage.beforeStep(surface);
    refineOneStep(surface);
    lineage.afterStep(surface);
}

TEST(FacetPairingTest, PairsOneToOneAcrossASeam) {
    Surfaces s("grid_with_seam.obj");
    FacetLineage positions(s.positions, s.mesh, FacetLineage::Side::kPositions);
    FacetLineage texture(s.texture, s.mesh, FacetLineage::Side::kTexture);
    for (int step = 0; step < 2; ++step) {
        refineStep(s.positions, positions);
        refineStep(s.texture, texture);
    }
    FacetPairing pairing;
    ASSERT_TRUE(pairFacets(positions, texture, pairing));
    ASSERT_EQ(pairing.textureFacet.size(), 256u);
    std::vector<bool> used(256);
    for (auto t : pairing.textureFacet) {
        EXPECT_FALSE(used[t]);
        used[t] = true;
    }
    // The orders differ next to the seam: pairing by place would be wrong.
    std::size_t moved = 0;
    for (std::size_t p = 0; p < 256; ++p) {
        moved += pairing.textureFacet[p] != p || pairing.cornerShift[p] != 0;
    }
    EXPECT_GT(moved, 0u);
}

TEST(FacetPairingTest, SurfacesThatDoNotMatchTheFacesDoNotPair) {
    Surfaces grid("grid_with_seam.obj");
    ObjMesh other = ObjMesh::fromText("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
    FacetLineage wrongFaces(grid.positions, other, FacetLineage::Side::kPositions);
    EXPECT_FALSE(wrongFaces.valid());

    // Refined a different number of times.
    FacetLineage positions(grid.positions, grid.mesh, FacetLineage::Side::kPositions);
    FacetLineage texture(grid.texture, grid.mesh, FacetLineage::Side::kTexture);
    refineStep(grid.positions, positions);
    FacetPairing pairing;
    EXPECT_FALSE(pairFacets(positions, texture, pairing));
}

TEST(FacetPairingTest, LineageFollowsTheFaceCornersNotCgalsStart) {
    // A surface whose texture corners are given in a turned order relative to the
    // positions: face (1 2 3 4) with texture (2 3 4 1) in a layout turned by a quarter.
    ObjMesh mesh = ObjMesh::fromText(
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0 0\n"
        "f 1/4 2/1 3/2 4/3\n");
    Polyhedron p, t;
    TriQuadBuilder<HDS> pb(&mesh);
    PlaneBuilder<HDS> tb(&mesh);
    p.delegate(pb);
    t.delegate(tb);
    FacetLineage positions(p, mesh, FacetLineage::Side::kPositions);
    FacetLineage texture(t, mesh, FacetLineage::Side::kTexture);
    refineStep(p, positions);
    refineStep(t, texture);
    FacetPairing pairing;
    ASSERT_TRUE(pairFacets(positions, texture, pairing));
    // Each refined position facet must lie over the texture facet at the same place.
    std::vector<Polyhedron::Facet_handle> pf, tf;
    for (auto f = p.facets_begin(); f != p.facets_end(); ++f) pf.push_back(f);
    for (auto f = t.facets_begin(); f != t.facets_end(); ++f) tf.push_back(f);
    for (std::size_t k = 0; k < pf.size(); ++k) {
        auto ph = pf[k]->halfedge();
        auto th = tf[pairing.textureFacet[k]]->halfedge();
        for (int s = 0; s < pairing.cornerShift[k]; ++s) th = th->next();
        for (int a = 0; a < 4; ++a, ph = ph->next(), th = th->next()) {
            EXPECT_NEAR(ph->vertex()->point().x(), th->vertex()->point().x(), 1e-6);
            EXPECT_NEAR(ph->vertex()->point().y(), th->vertex()->point().y(), 1e-6);
        }
    }
}

}  // namespace
