// The hand-over from the refined surfaces to the writer.

#include <gtest/gtest.h>

#include "builders/PlaneBuilder.h"
#include "builders/TriQuadBuilder.h"
#include "output/MergedObjWriter.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "support/RecordedDiagnostics.h"
#include "support/StringSink.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

// The corners the lineage read while naming the facets are the ones a walk over the
// refined surface gives, in the order CGAL's Wavefront printer lists them (the golden
// files pin those bytes through the binary); the texture pairs with either.
TEST(HandOverTest, LineageCornersAreTheSurfacesOwn) {
    for (const char* name :
         {"cube_cross_layout.obj", "grid_with_seam.obj", "pentagon.obj", "unused_position.obj"}) {
        for (int steps = 1; steps <= 3; ++steps) {
            const ObjMesh mesh = test::loadMesh(test::dataFile(name));
            test::RecordedDiagnostics diagnostics;
            Polyhedron positions, texture;
            TriQuadBuilder<HDS> positionBuilder(&mesh, diagnostics);
            PlaneBuilder<HDS> textureBuilder(&mesh, diagnostics);
            positions.delegate(positionBuilder);
            texture.delegate(textureBuilder);
            ASSERT_TRUE(positionBuilder.succeeded() && textureBuilder.succeeded()) << name;
            FacetLineage positionLineage(positions, mesh, FacetLineage::Side::kPositions);
            FacetLineage textureLineage(texture, mesh, FacetLineage::Side::kTexture);
            refineSurface(positions, positionLineage, steps, RefinementRules{});
            refineSurface(texture, textureLineage, steps, RefinementRules{});
            const FacetPairing pairing(positionLineage);

            RefinedMesh fromWalk, fromLineage;
            takePositions(positions, nullptr, fromWalk);
            takePositions(positions, &positionLineage, fromLineage);
            EXPECT_EQ(fromLineage.positionCorners, fromWalk.positionCorners) << name << steps;
            ASSERT_TRUE(takeTexture(texture, textureLineage, pairing, fromWalk));
            ASSERT_TRUE(takeTexture(texture, textureLineage, pairing, fromLineage));
            EXPECT_EQ(test::objText(fromLineage), test::objText(fromWalk))
                << name << ", " << steps << " steps";
        }
    }
}

}  // namespace
