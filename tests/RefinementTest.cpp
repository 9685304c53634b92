// The whole job through the real binary: the bytes of known results (a position no
// face uses among them, which keeps its place), refinement counts, console lines, the
// output file's form, and the paths where the texture or the mesh can't be used. And
// the refinement step and the computed levels against CGAL's own step.

#include <gtest/gtest.h>

#include <cstring>

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

// Each step turns a face of k corners into k quads, and the file holds them as the
// tool writes them, their texture continuous; the console shows each phase, the
// texture's only where there is a texture.
TEST(RefinementTest, EachStepTurnsAFaceIntoAQuadPerCorner) {
    test::TempDir dir;
    struct Case {
        std::string input;
        int steps;
        std::size_t v, vt, f;
    };
    for (const Case& c : {Case{test::dataFile("single_quad.obj"), 6, 4225, 4225, 4096},
                          Case{test::dataFile("single_triangle.obj"), 1, 7, 7, 3},
                          // The cross layout's seams double vertices.
                          Case{test::cubeFile(), 1, 26, 39, 24},
                          Case{test::cubeFile(), 2, 98, 125, 96},
                          Case{test::cubeFile(), 3, 386, 441, 384},
                          Case{test::dataFile("cube_without_texture.obj"), 2, 98, 0, 96}}) {
        SCOPED_TRACE(c.input + " " + std::to_string(c.steps));
        const ToolRun run = refine(c.input, c.steps, dir);
        ASSERT_TRUE(run.written);
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.result.err, "");
        EXPECT_EQ(test::maskTimes(run.result.out), progressLines(c.steps, c.vt != 0));
        EXPECT_EQ(run.obj.v.size(), c.v);
        EXPECT_EQ(run.obj.vt.size(), c.vt);
        EXPECT_EQ(run.obj.f.size(), c.f);
        EXPECT_TRUE(run.obj.wellFormed()) << run.obj.problems.front();
        const auto problems = test::textureContinuityProblems(run.obj);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
}

// The refined unit square: its old corners moved by the border rule (1/8, 6/8, 1/8 of
// the corner and its two neighbours), then the edge midpoints, then the centre; then
// its nine texture coordinates, then the four quads.
TEST(RefinementTest, OutputLayoutIsVThenVtThenF) {
    test::TempDir dir;
    ASSERT_TRUE(refine(test::dataFile("single_quad.obj"), 1, dir).written);
    const std::string text = test::readFile(dir.file("out_1.obj"));
    EXPECT_EQ(text.substr(0, text.find("vt")),
              "v 0.125 0.125 0\nv 0.875 0.125 0\nv 0.875 0.875 0\nv 0.125 0.875 0\n"
              "v 0.5 0 0\nv 1 0.5 0\nv 0.5 1 0\nv 0 0.5 0\nv 0.5 0.5 0\n");
    const std::vector<std::string> lines = test::splitLines(text.substr(text.find("vt")));
    ASSERT_EQ(lines.size(), 13u) << text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(i < 9 ? "vt " : "f ", 0), 0u) << lines[i];
    }
}

// Texture coordinates that no face names at every corner are not refined, and the run
// says so.
TEST(RefinementTest, MeshWithoutTextureGetsGeometryOnly) {
    test::TempDir dir;
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
    const test::RunResult log = test::runTool({"1", input, dir.file("o.obj")}, true);
    EXPECT_EQ(log.out.rfind("Begin To Build Polyhedron Mesh\n \nCGAL::", 0), 0u) << log.out;
    EXPECT_NE(log.out.find("out-of-range [0,2].\nFinished In ["), std::string::npos) << log.out;
}

// The refinement step computes each face point once and reads it back where CGAL's
// own mask computes it again: its points (but those of a vertex without faces, which
// CGAL's mask can't average and the step keeps) come out bit for bit as CGAL's own
// step makes them, and its corner cycles as CGAL's Wavefront printer lists them. The
// first level is built at once and the last one computed from the level before it,
// which relies on how CGAL's step numbers what it makes: both must be the step's own.
// When CGAL numbers otherwise, this fails, and so does the check a run makes before it
// relies on that.
TEST(RefinementTest, StepAndComputedLevelsAreCgalsOwn) {
    ASSERT_TRUE(stepNumberingHolds());
    const auto coordinates = [](const SurfaceMesh& surface) {
        std::vector<float> values;
        for (const SurfaceMesh::Vertex_index v : surface.vertices()) {
            values.insert(values.end(), {surface.point(v).x(), surface.point(v).y(),
                                         surface.point(v).z()});
        }
        return values;
    };
    const auto bitsOf = [](const std::vector<float>& values) {
        std::vector<std::uint32_t> bits(values.size());
        std::memcpy(bits.data(), values.data(), sizeof(float) * values.size());
        return bits;
    };
    for (const char* name : {"grid_with_seam.obj", "pentagon.obj", "mixed_polygons.obj",
                             "open_cylinder_with_seam.obj", "torus_two_seams.obj",
                             "fans_of_valence_3_5_6.obj", "tiny_and_huge_coordinates.obj",
                             "unused_position.obj", "l_shaped_patch.obj"}) {
        const ObjMesh mesh = test::loadMesh(test::dataFile(name));
        const test::PlainSurfaces built = test::buildPlainSurfaces(mesh);
        for (const SurfaceMesh* start : {&built.positions, &built.texture}) {
            SurfaceMesh before = *start, copy = *start, first;
            buildFirstLevel(copy, RefinementRules{}, LevelRoom{}, first);
            for (int step = 1; step <= 3; ++step) {
                SCOPED_TRACE(std::string(name) + " step " + std::to_string(step));
                SurfaceMesh ours = before, cgals = before;
                refineOneStep(ours, RefinementRules{});
                CGAL::Subdivision_method_3::PQQ(cgals, CGAL::CatmullClark_mask_3<SurfaceMesh>(
                                                           &cgals, get(CGAL::vertex_point, cgals)),
                                                CGAL::parameters::number_of_iterations(1));
                if (std::string(name) != "unused_position.obj") {
                    EXPECT_EQ(bitsOf(coordinates(ours)), bitsOf(coordinates(cgals)));
                }
                EXPECT_EQ(test::facetCycles(ours), test::facetCycles(cgals));
                if (step == 1) {
                    EXPECT_TRUE(sameSurface(first, ours));
                }
                RefinedMesh computed;
                PositionParents parents;
                std::vector<std::uint32_t> faces;
                const FacetLineage names(before, mesh, CornerSide::kPosition);  // not read here
                computeLastPositions(before, RefinementRules{}, names, computed, parents, faces);
                std::vector<float> computedCoordinates;
                for (const Point3f& p : computed.positions) {
                    computedCoordinates.insert(computedCoordinates.end(), {p.x, p.y, p.z});
                }
                EXPECT_EQ(computedCoordinates, coordinates(ours));
                std::vector<std::size_t> corners;
                for (const auto& cycle : test::facetCycles(ours)) {
                    corners.insert(corners.end(), cycle.begin(), cycle.end());
                }
                EXPECT_EQ(std::vector<std::size_t>(computed.positionCorners.begin(),
                                                   computed.positionCorners.end()),
                          corners);
                before = ours;
            }
        }
    }
}

}  // namespace
