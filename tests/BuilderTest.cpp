// The surface builders: how a build ends, and what it leaves.

#include <gtest/gtest.h>

#include "ObjLoader.h"
#include "PlaneBuilder.h"
#include "Polyhedron.h"
#include "TriQuadBuilder.h"
#include "support/RecordedDiagnostics.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

struct Built {
    BuildOutcome outcome;
    std::size_t vertices, facets;
    std::string err;
};

Built buildPositions(const ObjMesh& mesh, bool verbose) {
    Polyhedron surface;
    test::RecordedDiagnostics diagnostics;
    TriQuadBuilder<HDS> builder(&mesh, diagnostics, verbose);
    surface.delegate(builder);
    return {builder.outcome(), surface.size_of_vertices(), surface.size_of_facets(),
            diagnostics.err};
}

TEST(BuilderTest, OutcomesAndWhatIsLeft) {
    Built cube = buildPositions(test::loadMesh(test::cubeFile()), true);
    EXPECT_EQ(cube.outcome, BuildOutcome::kBuilt);
    EXPECT_EQ(cube.vertices, 8u);
    EXPECT_EQ(cube.facets, 6u);

    Built empty = buildPositions(parseObj("v 0 0 0\n"), true);
    EXPECT_EQ(empty.outcome, BuildOutcome::kNoFaces);
    EXPECT_EQ(empty.err, "ERROR : NULL Mesh\n");

    Built unread = buildPositions(
        parseObj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1/1/1/1 2 3\n"), true);
    EXPECT_EQ(unread.outcome, BuildOutcome::kUnreadFace);
    EXPECT_EQ(unread.err, "ERROR : Can't read the corners of face 2 []\n");
    EXPECT_EQ(unread.vertices + unread.facets, 0u);

    // A failed build takes back everything it added, the half-built facet included.
    for (const char* name : {"index_out_of_range.obj", "pillow_touching_a_triangle.obj",
                             "face_names_a_vertex_twice.obj"}) {
        const ObjMesh mesh = test::loadMesh(test::dataFile(name));
        Built quiet = buildPositions(mesh, false);
        EXPECT_EQ(quiet.outcome, BuildOutcome::kRejected) << name;
        EXPECT_EQ(quiet.vertices + quiet.facets, 0u) << name;
        EXPECT_EQ(quiet.err, "") << name;  // a repair may still succeed: no report yet
        EXPECT_NE(buildPositions(mesh, true).err, "") << name;
    }
}

TEST(BuilderTest, TextureSurfaceFollowsTheTextureIndices) {
    const ObjMesh mesh = test::loadMesh(test::cubeFile());
    Polyhedron surface;
    test::RecordedDiagnostics diagnostics;
    PlaneBuilder<HDS> builder(&mesh, diagnostics);
    surface.delegate(builder);
    ASSERT_TRUE(builder.succeeded());
    EXPECT_EQ(surface.size_of_vertices(), 14u);
    EXPECT_EQ(surface.size_of_facets(), 6u);
    EXPECT_EQ(surface.size_of_border_halfedges(), 0u);  // not normalized: counted below
    std::size_t border = 0;
    for (auto h = surface.halfedges_begin(); h != surface.halfedges_end(); ++h) {
        border += h->is_border();
        EXPECT_EQ(h->vertex()->point().z(), 0.0f);
    }
    EXPECT_EQ(border, 14u);  // the cross is cut open along its outline
}

}  // namespace
