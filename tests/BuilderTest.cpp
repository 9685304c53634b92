// The surface builders: how a build ends, and what it leaves. (What a built surface
// holds shows in every refined file.)

#include <gtest/gtest.h>

#include "ObjLoader.h"
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

// What a build that can't be made leaves: nothing, and a report only when asked for one.
TEST(BuilderTest, OutcomesAndWhatIsLeft) {
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

}  // namespace
