// The whole job through the real binary: the bytes of known results, refinement
// counts, console lines, the output file's form, and the paths where the texture or
// the mesh can't be used. And the refinement step itself against CGAL's own.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include <CGAL/Subdivision_method_3/subdivision_methods_3.h>

#include "CatmullClarkStep.h"
#include "FirstLevel.h"
#include "LastLevel.h"
#include "NumberingProbe.h"
#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/Surfaces.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

using namespace faceloom;

namespace {

struct ToolRun {
    test::RunResult result;
    test::ObjFile obj;
    bool written = false;
};

ToolRun refine(const std::string& input, int steps, const test::TempDir& dir) {
    ToolRun run;
    const std::string out = dir.file("out_" + std::to_string(steps) + ".obj");
    run.result = test::runTool({std::to_string(steps), input, out});
    run.written = test::fileExists(out);
    if (run.written) {
        run.obj = test::parseObj(test::readFile(out));
    }
    return run;
}

std::string progressLines(int steps, bool textured) {
    const std::string s = std::to_string(steps);
    std::string lines =
        "Begin To Build Polyhedron Mesh\nFinished In [t] Second\n"
        "Begin To Subdividing Mesh\nFinish [" +
        s + "] Steps In [t] Second\n";
    if (textured) {
        lines +=
            "Begin To Build Polyhedron UV\nFinished In [t] Second\n"
            "Begin To Subdividing UV\nFinish [" +
            s + "] Steps In [t] Second\n";
    }
    return lines;
}

// Each expected file is what the tool has always written for its input (named before
// the last "_") at its number of steps.
TEST(RefinementTest, KnownMeshesGiveTheSameBytes) {
    test::TempDir dir;
    for (const char* name : {"textured_cube_2", "grid_with_seam_2", "pentagon_2",
                             "single_triangle_2", "tiny_and_huge_coordinates_1",
                             "unused_position_2", "cube_without_texture_2", "corners_v_vt_vn_1"}) {
        const std::string stem(name), base = stem.substr(0, stem.size() - 2);
        const std::string input =
            base == "textured_cube" ? test::cubeFile() : test::dataFile(base + ".obj");
        const test::RunResult r = test::runTool({stem.substr(stem.size() - 1), input, dir.file("o.obj")});
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(test::readFile(dir.file("o.obj")),
                  test::readFile(test::dataFile("expected/" + stem + ".obj")))
            << name;
    }
}

TEST(RefinementTest, FacetCountsOfSingleFaces) {
    test::TempDir dir;
    struct Case {
        const char* data;
        int steps;
        std::size_t facets;
    };
    for (const Case& c : {Case{"single_quad.obj", 1, 4}, Case{"single_quad.obj", 6, 4096},
                          Case{"single_triangle.obj", 1, 3}, Case{"pentagon.obj", 2, 20}}) {
        const ToolRun run = refine(test::dataFile(c.data), c.steps, dir);
        ASSERT_TRUE(run.written) << c.data;
        EXPECT_EQ(run.obj.f.size(), c.facets) << c.data << " " << c.steps;
        EXPECT_TRUE(run.obj.wellFormed()) << c.data;
        EXPECT_TRUE(test::textureContinuityProblems(run.obj).empty()) << c.data;
        EXPECT_EQ(run.result.err, "");
    }
}

TEST(RefinementTest, TexturedCubeAtOneToThreeSteps) {
    test::TempDir dir;
    const std::size_t v[] = {26, 98, 386};
    const std::size_t vt[] = {39, 125, 441};  // the cross layout's seams double vertices
    const std::size_t f[] = {24, 96, 384};
    for (int steps = 1; steps <= 3; ++steps) {
        const ToolRun run = refine(test::cubeFile(), steps, dir);
        ASSERT_TRUE(run.written);
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.result.err, "");
        EXPECT_EQ(test::maskTimes(run.result.out), progressLines(steps, true));
        EXPECT_EQ(run.obj.v.size(), v[steps - 1]);
        EXPECT_EQ(run.obj.vt.size(), vt[steps - 1]);
        EXPECT_EQ(run.obj.f.size(), f[steps - 1]);
        EXPECT_TRUE(run.obj.wellFormed()) << run.obj.problems.front();
        const auto problems = test::textureContinuityProblems(run.obj);
        EXPECT_TRUE(problems.empty()) << steps << " steps: " << problems.front();
    }
}

TEST(RefinementTest, OutputLayoutIsVThenVtThenF) {
    test::TempDir dir;
    ASSERT_TRUE(refine(test::dataFile("single_quad.obj"), 1, dir).written);
    const std::string text = test::readFile(dir.file("out_1.obj"));
    // The refined unit square: old corners moved by the border rule (1/8, 6/8, 1/8 of
    // the corner and its two neighbours), then edge midpoints, then the centre.
    EXPECT_EQ(text.substr(0, text.find("vt")),
              "v 0.125 0.125 0\nv 0.875 0.125 0\nv 0.875 0.875 0\nv 0.125 0.875 0\n"
              "v 0.5 0 0\nv 1 0.5 0\nv 0.5 1 0\nv 0 0.5 0\nv 0.5 0.5 0\n");
    // Then the nine texture coordinates and the four quads, each corner "v/vt".
    const std::vector<std::string> lines = test::splitLines(text.substr(text.find("vt")));
    ASSERT_EQ(lines.size(), 13u) << text;
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(lines[i].rfind("vt ", 0), 0u) << lines[i];
    }
    for (std::size_t i = 9; i < 13; ++i) {
        std::istringstream corners(lines[i]);
        std::string word;
        corners >> word;
        EXPECT_EQ(word, "f");
        int count = 0;
        unsigned position = 0, texture = 0;
        char slash = 0;
        while (corners >> position >> slash >> texture && slash == '/') {
            ++count;
        }
        EXPECT_TRUE(corners.eof()) << lines[i];
        EXPECT_EQ(count, 4) << lines[i];
    }
}

TEST(RefinementTest, MeshWithoutTextureGetsGeometryOnly) {
    test::TempDir dir;
    const ToolRun run = refine(test::dataFile("cube_without_texture.obj"), 2, dir);
    ASSERT_TRUE(run.written);
    EXPECT_EQ(test::maskTimes(run.result.out), progressLines(2, false));
    EXPECT_EQ(run.obj.vt.size(), 0u);
    EXPECT_EQ(run.obj.f.size(), 96u);
    EXPECT_EQ(run.obj.f[0][0].t, 0);

    const std::string unused = test::dataFile("faces_without_texture_indices.obj");
    const ToolRun named = refine(unused, 1, dir);
    ASSERT_TRUE(named.written);
    EXPECT_EQ(named.result.status, 0);
    EXPECT_EQ(test::maskTimes(named.result.out),
              "Warning : No face of [" + unused +
                  "] names a texture coordinate at every corner, so its 14 texture "
                  "coordinates are unused and it is refined without texture\n" +
                  progressLines(1, false));
    EXPECT_EQ(named.obj.vt.size(), 0u);
    EXPECT_TRUE(named.obj.wellFormed());
}

TEST(RefinementTest, RejectedMeshIsReportedWhereItsPhaseMetIt) {
    test::TempDir dir;
    const std::string input = test::dataFile("index_out_of_range.obj");
    const ToolRun run = refine(input, 1, dir);
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.err,
              " \nCGAL::Polyhedron_incremental_builder_3<HDS>::\n"
              "add_vertex_to_facet(): vertex index 3 is out-of-range [0,2].\n");
    EXPECT_FALSE(run.written);
    // Sent to one log, the progress lines keep their place among the error lines: the
    // refusal comes after the phase that met it began, and before it ended.
    const test::RunResult log = test::runToolOneStream({"1", input, dir.file("o.obj")});
    EXPECT_EQ(log.out.rfind("Begin To Build Polyhedron Mesh\n \nCGAL::", 0), 0u) << log.out;
    EXPECT_NE(log.out.find("out-of-range [0,2].\nFinished In ["), std::string::npos) << log.out;
}

TEST(RefinementTest, UnusedVerticesKeepTheirPlace) {
    // A vertex without facets has no neighbours to average; it must not turn into NaN.
    test::TempDir dir;
    const ToolRun run = refine(test::dataFile("unused_position.obj"), 2, dir);
    ASSERT_EQ(run.obj.v.size(), 1u + 25u);
    EXPECT_EQ(run.obj.v[4], (std::array<double, 3>{5, 5, 5}));
    ASSERT_EQ(run.obj.vt.size(), 1u + 25u);
    EXPECT_EQ(run.obj.vt[4], (std::array<double, 2>{0.5, 0.5}));
}

// The refinement step computes each face point once and reads it back where CGAL's
// own mask computes it again: the points and the corner cycles come out bit for bit
// as CGAL's own refinement makes them.
TEST(RefinementTest, StepIsCgalsOwnBitForBit) {
    const auto bitsOf = [](const SurfaceMesh& surface) {
        std::vector<std::uint32_t> bits;
        for (const SurfaceMesh::Vertex_index v : surface.vertices()) {
            for (int i = 0; i < 3; ++i) {
                const float value = surface.point(v)[i];
                std::uint32_t word;
                std::memcpy(&word, &value, sizeof word);
                bits.push_back(word);
            }
        }
        return bits;
    };
    for (const char* name : {"grid_with_seam.obj", "pentagon.obj", "mixed_polygons.obj",
                             "open_cylinder_with_seam.obj", "torus_two_seams.obj",
                             "fans_of_valence_3_5_6.obj", "tiny_and_huge_coordinates.obj"}) {
        const test::PlainSurfaces built = test::buildPlainSurfaces(test::loadMesh(test::dataFile(name)));
        for (const SurfaceMesh* start : {&built.positions, &built.texture}) {
            SurfaceMesh ours = *start, cgals = *start;
            for (int step = 1; step <= 3; ++step) {
                refineOneStep(ours, RefinementRules{});
                CGAL::Subdivision_method_3::PQQ(cgals, CGAL::CatmullClark_mask_3<SurfaceMesh>(
                                                           &cgals, get(CGAL::vertex_point, cgals)),
                                                CGAL::parameters::number_of_iterations(1));
                EXPECT_EQ(bitsOf(ours), bitsOf(cgals)) << name << " step " << step;
                EXPECT_EQ(test::facetCycles(ours), test::facetCycles(cgals)) << name;
            }
        }
    }
}

// The computed levels rely on how CGAL's step numbers what it makes: the first level
// built at once is CGAL's item for item, and the last level computed from the one before
// it has CGAL's points and facets. When CGAL numbers otherwise, this fails, and so does
// the check a run makes before it relies on that.
TEST(RefinementTest, ComputedLevelsAreCgalsOwn) {
    ASSERT_TRUE(stepNumberingHolds());
    for (const char* name : {"grid_with_seam.obj", "pentagon.obj", "mixed_polygons.obj",
                             "open_cylinder_with_seam.obj", "torus_two_seams.obj",
                             "unused_position.obj", "l_shaped_patch.obj"}) {
        const test::PlainSurfaces built = test::buildPlainSurfaces(test::loadMesh(test::dataFile(name)));
        for (const SurfaceMesh* start : {&built.positions, &built.texture}) {
            SurfaceMesh cgals = *start, before = *start, first;
            refineOneStep(cgals, RefinementRules{});
            buildFirstLevel(before, RefinementRules{}, LevelRoom{}, first);
            EXPECT_TRUE(sameSurface(first, cgals)) << name;
            for (int step = 1; step <= 3; ++step) {
                SurfaceMesh after = before;
                refineOneStep(after, RefinementRules{});
                RefinedMesh computed;
                PositionParents parents;
                std::vector<std::uint32_t> faces;
                FacetLineage names(before, test::loadMesh(test::dataFile(name)),
                                   CornerSide::kPosition);  // valid or not: not read here
                computeLastPositions(before, RefinementRules{}, names, computed, parents, faces);
                EXPECT_EQ(computed.positionCorners.size(), 4 * after.number_of_faces()) << name;
                std::vector<std::size_t> corners(computed.positionCorners.begin(),
                                                 computed.positionCorners.end()), printed;
                for (const auto& cycle : test::facetCycles(after)) {
                    printed.insert(printed.end(), cycle.begin(), cycle.end());
                }
                EXPECT_EQ(corners, printed) << name << " step " << step;
                for (const SurfaceMesh::Vertex_index v : after.vertices()) {
                    const Point3f& p = computed.positions[v];
                    EXPECT_TRUE(p.x == after.point(v).x() && p.y == after.point(v).y() &&
                                p.z == after.point(v).z())
                        << name << " step " << step << " vertex " << v;
                }
                before = after;
            }
        }
    }
}

}  // namespace
