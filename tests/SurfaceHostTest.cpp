// The refinement runs on an index-preserving Surface_mesh copy of the built
// Polyhedron_3, with CGAL's Catmull-Clark rules computing each face point once. Both
// must give the very same refinement as CGAL's own refinement of the polyhedron, step
// by step: the same vertex coordinates bit for bit, the same corner cycles, the same
// lineage. And a run must not depend on whether the two surfaces were refined at once,
// on two threads, or one after the other.

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "RunSubdivision.h"
#include "RepairingBuild.h"
#include "MergedObjWriter.h"
#include "CatmullClarkStep.h"
#include "FacetLineage.h"
#include "SurfaceMesh.h"
#include "SurfaceRefinement.h"
#include "UvSmoothing.h"
#include "support/RecordedDiagnostics.h"
#include "support/StringSink.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

// Textured meshes with seams, borders, isolated vertices, mixed corner counts and
// repairs, so that both surfaces of each are built.
const char* const kMeshes[] = {
    "cube_cross_layout.obj",
    "grid_with_seam.obj",
    "pentagon.obj",
    "single_triangle.obj",
    "unused_position.obj",
    "mixed_polygons.obj",
    "open_cylinder_with_seam.obj",
    "torus_two_seams.obj",
    "fans_of_valence_3_5_6.obj",
    "cube_one_face_turned.obj",
    "mirrored_texture_strip.obj",
    "l_shaped_island_in_grid.obj",
    "two_cubes_sharing_a_vertex.obj",
    "tiny_and_huge_coordinates.obj",
};

// Each vertex's coordinates as bits, and each facet's corners from the target of its
// halfedge, in list order.
struct Snapshot {
    std::vector<std::uint32_t> bits;
    std::vector<std::vector<std::size_t>> cycles;
};

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

Snapshot snapshot(const Polyhedron& surface) {
    Snapshot s;
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        for (int i = 0; i < 3; ++i) {
            s.bits.push_back(bitsOf(v->point()[i]));
        }
    }
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
        std::vector<std::size_t> cycle;
        auto h = f->halfedge();
        do {
            cycle.push_back(vertexIndex(surface, h->vertex()));
            h = h->next();
        } while (h != f->halfedge());
        s.cycles.push_back(cycle);
    }
    return s;
}

Snapshot snapshot(const SurfaceMesh& surface) {
    Snapshot s;
    for (SurfaceMesh::Vertex_index v : surface.vertices()) {
        for (int i = 0; i < 3; ++i) {
            s.bits.push_back(bitsOf(surface.point(v)[i]));
        }
    }
    for (SurfaceMesh::Face_index f : surface.faces()) {
        std::vector<std::size_t> cycle;
        for (SurfaceMesh::Vertex_index v : vertices_around_face(surface.halfedge(f), surface)) {
            cycle.push_back(vertexIndex(surface, v));
        }
        s.cycles.push_back(cycle);
    }
    return s;
}

void expectSame(const Snapshot& polyhedron, const Snapshot& mesh, const std::string& where) {
    EXPECT_EQ(polyhedron.bits, mesh.bits) << where;
    EXPECT_EQ(polyhedron.cycles, mesh.cycles) << where;
}

void compareHosts(const ObjMesh& faces, const Polyhedron& built, FacetLineage::Side side,
                  const RefinementRules& rules, const std::string& name) {
    Polyhedron polyhedron = built;
    SurfaceMesh mesh;
    copyIndexPreserving(built, mesh);
    expectSame(snapshot(polyhedron), snapshot(mesh), name + " as copied");
    for (int step = 1; step <= 3; ++step) {
        refineOneStep(polyhedron, rules);
        refineOneStep(mesh, rules);
        expectSame(snapshot(polyhedron), snapshot(mesh),
                   name + " after step " + std::to_string(step));
    }
    // The lineage reads both hosts alike, and finds CGAL's layout on both.
    Polyhedron refinedPolyhedron = built;
    SurfaceMesh refinedMesh;
    copyIndexPreserving(built, refinedMesh);
    FacetLineage onPolyhedron(refinedPolyhedron, faces, side);
    FacetLineage onMesh(refinedMesh, faces, side);
    refineSurface(refinedPolyhedron, onPolyhedron, 3, rules);
    refineSurface(refinedMesh, onMesh, 3, rules);
    EXPECT_TRUE(onMesh.valid()) << name;
    EXPECT_EQ(onPolyhedron.valid(), onMesh.valid()) << name;
    EXPECT_EQ(onPolyhedron.slots(), onMesh.slots()) << name;
    EXPECT_EQ(onPolyhedron.rotations(), onMesh.rotations()) << name;
    EXPECT_EQ(onPolyhedron.corners(), onMesh.corners()) << name;
}

TEST(SurfaceHostTest, SurfaceMeshRefinesAsThePolyhedron) {
    for (const char* name : kMeshes) {
        const ObjMesh input = test::loadMesh(test::dataFile(name));
        test::RecordedDiagnostics ignored;
        Polyhedron positions;
        const BuiltSurface built = buildPositionSurface(input, positions, ignored);
        ASSERT_TRUE(built.built) << name;
        const ObjMesh& faces = built.faces(input);
        Polyhedron texture;
        const BuiltSurface layout = buildTextureSurface(faces, texture, ignored);
        ASSERT_TRUE(layout.built) << name;
        // CGAL's own rules, and rules that pin vertices and take the linear ones.
        for (const SmoothingOptions& smoothing :
             {SmoothingOptions{},
              SmoothingOptions{UvSmooth::kKeepCornersJunctionsConcave,
                               BoundarySmooth::kKeepCorners},
              SmoothingOptions{UvSmooth::kNone, BoundarySmooth::kAll}}) {
            const std::string tag = std::string(name) + " uv " + std::to_string(int(smoothing.uv)) +
                                    " boundary " + std::to_string(int(smoothing.boundary));
            compareHosts(faces, positions, CornerSide::kPosition, positionRules(smoothing),
                         tag + " positions");
            RefinementRules rules = layoutRules(layout.faces(faces), texture, smoothing);
            keepAlso(layout.keep, rules);
            compareHosts(layout.faces(faces), texture, CornerSide::kTexture, rules,
                         tag + " texture");
        }
    }
}

// Everything a run reports and hands to the writer, its times masked.
struct RunRecord {
    std::string out, err, file;
    bool hasOutput = false, clean = false;
};

RunRecord record(const ObjMesh& mesh, const SmoothingOptions& smoothing, SurfaceOverlap overlap) {
    RunRecord r;
    test::RecordedDiagnostics diagnostics;
    PhaseReporter phases(diagnostics, nullptr);
    std::string atPositions;
    const Refinement refinement = refineMesh(
        mesh, 2, smoothing, "out.obj", phases, diagnostics, overlap, [&](const RefinedMesh& m) {
            atPositions = std::to_string(m.positions.size());
            diagnostics.progress("[positions ready: " + atPositions + "]\n");
        });
    StringSink sink;
    if (refinement.hasOutput) {
        writeMergedObj(refinement.mesh, sink);
    }
    r.out = std::regex_replace(diagnostics.out, std::regex(R"(\[[0-9]+\.[0-9]{6}\])"), "[t]");
    r.err = diagnostics.err;
    r.file = sink.text;
    r.hasOutput = refinement.hasOutput;
    r.clean = refinement.clean;
    return r;
}

TEST(SurfaceHostTest, BothAtOnceRunsAsOneAtATime) {
    // Clean meshes, repaired ones (warnings), a layout that can't be refined (an
    // error), and a mesh that doesn't build at all.
    for (const char* name :
         {"cube_cross_layout.obj", "unused_position.obj", "cube_one_face_turned.obj",
          "mirrored_texture_strip.obj", "faces_without_texture_indices.obj",
          "index_out_of_range.obj", "cube_without_texture.obj", "materials/two_materials.obj"}) {
        const ObjMesh mesh = test::loadMesh(test::dataFile(name));
        for (const SmoothingOptions& smoothing :
             {SmoothingOptions{}, SmoothingOptions{UvSmooth::kKeepCornersJunctionsConcave,
                                                   BoundarySmooth::kKeepCorners}}) {
            const RunRecord together = record(mesh, smoothing, SurfaceOverlap::kBothAtOnce);
            const RunRecord apart = record(mesh, smoothing, SurfaceOverlap::kOneAtATime);
            EXPECT_EQ(together.out, apart.out) << name;
            EXPECT_EQ(together.err, apart.err) << name;
            EXPECT_EQ(together.file, apart.file) << name;
            EXPECT_EQ(together.hasOutput, apart.hasOutput) << name;
            EXPECT_EQ(together.clean, apart.clean) << name;
        }
    }
}

// A failure on this thread while the texture refines on the other one, before the
// position surface is released (the texture's last step is still waiting for it) and
// after: the run ends with the failure rather than waiting for ever, and the thread is
// finished by then.
TEST(SurfaceHostTest, FailureBesideTheTextureEndsTheRun) {
    struct Failure : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    // Fails at the positions' "Finish" line, once they are refined and not yet released.
    class FailingAtFinish : public test::RecordedDiagnostics {
    public:
        void progress(const std::string& text) override {
            if (text.rfind("Finish [", 0) == 0) {
                throw Failure("at finish");
            }
        }
    };
    const ObjMesh mesh = test::loadMesh(test::dataFile("cube_cross_layout.obj"));
    {
        FailingAtFinish diagnostics;
        PhaseReporter phases(diagnostics, nullptr);
        EXPECT_THROW(refineMesh(mesh, 3, SmoothingOptions{}, "out.obj", phases, diagnostics,
                                SurfaceOverlap::kBothAtOnce),
                     Failure);
    }
    {
        test::RecordedDiagnostics diagnostics;
        PhaseReporter phases(diagnostics, nullptr);
        EXPECT_THROW(refineMesh(mesh, 3, SmoothingOptions{}, "out.obj", phases, diagnostics,
                                SurfaceOverlap::kBothAtOnce,
                                [](RefinedMesh&) { throw Failure("positions written"); }),
                     Failure);
    }
}

}  // namespace
