// The whole job through the real binary: refinement counts, console lines, the
// output file's form, and the paths where the texture or the mesh can't be used.

#include <gtest/gtest.h>

#include <regex>

#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

namespace {

struct ToolRun {
    test::RunResult result;
    test::ObjFile obj;
    bool written = false;
};

ToolRun refine(const std::string& dataName, int steps, const test::TempDir& dir) {
    ToolRun run;
    const std::string out = dir.file("out_" + std::to_string(steps) + ".obj");
    run.result = test::runTool({std::to_string(steps), test::dataFile(dataName), out});
    run.written = test::fileExists(out);
    if (run.written) {
        run.obj = test::parseObj(test::readFile(out));
    }
    return run;
}

// The progress lines of a run, with the times masked.
std::string maskTimes(const std::string& out) {
    return std::regex_replace(out, std::regex(R"(\[[0-9]+\.[0-9]{6}\] Second)"), "[t] Second");
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

TEST(RefinementTest, FacetCountsOfSingleFaces) {
    test::TempDir dir;
    struct Case {
        const char* data;
        int steps;
        std::size_t facets;
    };
    for (const Case& c : {Case{"single_quad.obj", 1, 4}, Case{"single_quad.obj", 6, 4096},
                          Case{"single_triangle.obj", 1, 3}, Case{"single_triangle.obj", 2, 12},
                          Case{"pentagon.obj", 2, 20}}) {
        ToolRun run = refine(c.data, c.steps, dir);
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
        ToolRun run = refine("cube_cross_layout.obj", steps, dir);
        ASSERT_TRUE(run.written);
        EXPECT_EQ(run.result.status, 0);
        EXPECT_EQ(run.result.err, "");
        EXPECT_EQ(maskTimes(run.result.out), progressLines(steps, true));
        EXPECT_EQ(run.obj.v.size(), v[steps - 1]);
        EXPECT_EQ(run.obj.vt.size(), vt[steps - 1]);
        EXPECT_EQ(run.obj.f.size(), f[steps - 1]);
        EXPECT_TRUE(run.obj.wellFormed()) << run.obj.problems.front();
        EXPECT_TRUE(test::textureContinuityProblems(run.obj).empty());
        for (const auto& facet : run.obj.f) {
            for (const auto& corner : facet) {
                EXPECT_NE(corner.t, 0);
            }
        }
    }
}

TEST(RefinementTest, OutputLayoutIsVThenVtThenF) {
    test::TempDir dir;
    ToolRun run = refine("single_quad.obj", 1, dir);
    ASSERT_TRUE(run.written);
    const std::string text = test::readFile(dir.file("out_1.obj"));
    // The refined unit square: old corners moved by the border rule (1/8, 6/8, 1/8 of
    // the corner and its two neighbours), then edge midpoints, then the centre.
    EXPECT_EQ(text.substr(0, text.find("vt")),
              "v 0.125 0.125 0\nv 0.875 0.125 0\nv 0.875 0.875 0\nv 0.125 0.875 0\n"
              "v 0.5 0 0\nv 1 0.5 0\nv 0.5 1 0\nv 0 0.5 0\nv 0.5 0.5 0\n");
    EXPECT_TRUE(std::regex_search(
        text, std::regex("^(vt [^\n]*\n){9}(f( [0-9]+/[0-9]+){4}\n){4}$", std::regex::multiline)))
        << text;
}

TEST(RefinementTest, MeshWithoutTextureGetsGeometryOnly) {
    test::TempDir dir;
    ToolRun run = refine("cube_without_texture.obj", 2, dir);
    ASSERT_TRUE(run.written);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(maskTimes(run.result.out), progressLines(2, false));
    EXPECT_EQ(run.obj.v.size(), 98u);
    EXPECT_EQ(run.obj.vt.size(), 0u);
    EXPECT_EQ(run.obj.f.size(), 96u);
    EXPECT_TRUE(run.obj.wellFormed());
    for (const auto& facet : run.obj.f) {
        EXPECT_EQ(facet[0].t, 0);
    }
}

TEST(RefinementTest, TextureCoordinatesNoFaceNamesAreUnused) {
    test::TempDir dir;
    ToolRun run = refine("faces_without_texture_indices.obj", 1, dir);
    ASSERT_TRUE(run.written);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(maskTimes(run.result.out),
              "Warning : No face of [" + test::dataFile("faces_without_texture_indices.obj") +
                  "] names a texture coordinate at every corner, so its 14 texture "
                  "coordinates are unused and it is refined without texture\n" +
                  progressLines(1, false));
    EXPECT_EQ(run.obj.vt.size(), 0u);
    EXPECT_EQ(run.obj.f.size(), 24u);
    EXPECT_TRUE(run.obj.wellFormed());
}

TEST(RefinementTest, UnwritableOutputPath) {
    test::TempDir dir;
    const std::string out = dir.file("missing_directory/out.obj");
    test::RunResult r = test::runTool({"1", test::dataFile("single_quad.obj"), out});
    EXPECT_EQ(r.err, "ERROR : Can't write to [" + out + "]: No such file or directory\n");
    EXPECT_FALSE(test::fileExists(out));
}

TEST(RefinementTest, RejectedMeshIsReportedWithoutCrash) {
    test::TempDir dir;
    ToolRun run = refine("index_out_of_range.obj", 1, dir);
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.err,
              " \nCGAL::Polyhedron_incremental_builder_3<HDS>::\n"
              "add_vertex_to_facet(): vertex index 3 is out-of-range [0,2].\n");
    EXPECT_FALSE(run.written);
    // Sent to one log, the progress lines keep their place among the error lines: the
    // refusal comes after the phase that met it began, and before it ended.
    const test::RunResult log =
        test::runToolOneStream({"1", test::dataFile("index_out_of_range.obj"), dir.file("o.obj")});
    EXPECT_EQ(log.out.rfind("Begin To Build Polyhedron Mesh\n \nCGAL::", 0), 0u) << log.out;
    EXPECT_NE(log.out.find("out-of-range [0,2].\nFinished In ["), std::string::npos) << log.out;
}

TEST(RefinementTest, BundledExampleIsAValidTexturedObj) {
    test::TempDir dir;
    const std::string out = dir.file("cube.obj");
    test::RunResult r =
        test::runTool({"2", std::string(FACELOOM_SOURCE_DIR) + "/examples/textured_cube.obj", out});
    EXPECT_EQ(r.status, 0);
    test::ObjFile obj = test::parseObj(test::readFile(out));
    EXPECT_TRUE(obj.wellFormed());
    EXPECT_TRUE(test::textureContinuityProblems(obj).empty());
    EXPECT_EQ(obj.f.size(), 96u);
    EXPECT_GT(obj.vt.size(), 0u);
}

}  // namespace

namespace {

TEST(RefinementTest, UnusedVerticesKeepTheirPlace) {
    // A vertex without facets has no neighbours to average; it must not turn into NaN.
    test::TempDir dir;
    ToolRun run = refine("unused_position.obj", 2, dir);
    ASSERT_TRUE(run.written);
    const std::string text = test::readFile(dir.file("out_2.obj"));
    EXPECT_EQ(text.find("nan"), std::string::npos);
    ASSERT_EQ(run.obj.v.size(), 1u + 25u);
    EXPECT_EQ(run.obj.v[4], (std::array<double, 3>{5, 5, 5}));
    ASSERT_EQ(run.obj.vt.size(), 1u + 25u);
    EXPECT_EQ(run.obj.vt[4], (std::array<double, 2>{0.5, 0.5}));
    EXPECT_TRUE(run.obj.wellFormed());
}

}  // namespace
