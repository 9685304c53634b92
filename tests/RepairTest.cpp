// Real-world meshes: faces CGAL refuses are repaired, shared texture coordinates are
// laid out where the faces use them, and materials are kept. Inputs that built before come out byte
// for byte as they did.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

namespace {

struct Repaired {
    test::RunResult result;
    test::ObjFile obj;
};

Repaired refine(const std::string& input, int steps, const std::string& output) {
    Repaired r;
    r.result = test::runTool({std::to_string(steps), input, output});
    if (test::fileExists(output)) {
        r.obj = test::parseObj(test::readFile(output));
    }
    return r;
}

TEST(RepairTest, FaceWoundTheWrongWayIsTurned) {
    test::TempDir dir;
    const std::string input = test::dataFile("cube_one_face_turned.obj");
    for (int steps = 1; steps <= 2; ++steps) {
        Repaired r = refine(input, steps, dir.file("out.obj"));
        EXPECT_EQ(r.result.status, 0) << r.result.err;
        EXPECT_EQ(r.result.err, "");
        EXPECT_EQ(r.result.out.rfind(
                      "Begin To Build Polyhedron Mesh\nWarning : Turned 1 faces and split 0 "
                      "vertices of [" +
                          input + "] to build its surface\nFinished In",
                      0),
                  0u)
            << r.result.out;
        EXPECT_TRUE(r.obj.wellFormed());
        EXPECT_EQ(r.obj.f.size(), steps == 1 ? 24u : 96u);
        EXPECT_EQ(r.obj.vt.size(), steps == 1 ? 39u : 125u);
        const auto problems = test::textureContinuityProblems(r.obj);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
}

TEST(RepairTest, FacesUsingAnEdgeTheSameWayAreTurned) {
    test::TempDir dir;
    Repaired r = refine(test::dataFile("shared_directed_edge.obj"), 1, dir.file("out.obj"));
    EXPECT_EQ(r.result.status, 0) << r.result.err;
    EXPECT_NE(r.result.out.find("Warning : Turned 1 faces and split 0 vertices"),
              std::string::npos);
    // Every corner names the one texture coordinate: laid out per position, it needs no
    // repair of its own.
    EXPECT_EQ(r.result.out.find("Warning : Split"), std::string::npos) << r.result.out;
    EXPECT_EQ(r.obj.f.size(), 6u);
    EXPECT_TRUE(r.obj.wellFormed());
}

TEST(RepairTest, CubesTouchingAtACornerAreSplitThere) {
    test::TempDir dir;
    Repaired r = refine(test::dataFile("two_cubes_sharing_a_vertex.obj"), 1, dir.file("out.obj"));
    EXPECT_EQ(r.result.status, 0) << r.result.err;
    EXPECT_NE(r.result.out.find("Warning : Turned 0 faces and split 1 vertices"),
              std::string::npos);
    // Each cube refined on its own: 26 vertices each, the split corner counted twice.
    EXPECT_EQ(r.obj.v.size(), 52u);
    EXPECT_EQ(r.obj.f.size(), 48u);
    EXPECT_TRUE(r.obj.wellFormed());
    EXPECT_TRUE(test::textureContinuityProblems(r.obj).empty());
}

TEST(RepairTest, TextureCoordinatesSharedFarApartAreLaidOutApart) {
    test::TempDir dir;
    const std::string input = test::dataFile("mirrored_texture_strip.obj");
    Repaired r = refine(input, 2, dir.file("out.obj"));
    EXPECT_EQ(r.result.status, 0) << r.result.err;
    EXPECT_EQ(r.result.err, "");
    // The layout follows the mesh's edges, so sharing is no repair: nothing to warn of.
    EXPECT_EQ(r.result.out.find("Warning"), std::string::npos) << r.result.out;
    // The faces agree along every edge: one strip, folded over in the layout.
    ASSERT_EQ(r.obj.vt.size(), r.obj.v.size());
    ASSERT_TRUE(r.obj.wellFormed());
    EXPECT_EQ(r.obj.f.size(), 64u);
    EXPECT_TRUE(test::textureContinuityProblems(r.obj).empty());
    // The texture mirrors with the strip: a corner at x in the first half has
    // u = x / 2, in the second half u = (4 - x) / 2.
    for (const auto& facet : r.obj.f) {
        for (const auto& c : facet) {
            const double x = r.obj.v[c.p - 1][0], u = r.obj.vt[c.t - 1][0];
            EXPECT_NEAR(u, x <= 2 ? x / 2 : (4 - x) / 2, 0.2) << x;
        }
    }
}

TEST(RepairTest, MaterialsAreKeptAndGrouped) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("in"));
    std::filesystem::create_directories(dir.file("out/deeper"));
    for (const char* name : {"two_materials.obj", "two_materials.mtl"}) {
        std::filesystem::copy_file(test::dataFile(std::string("materials/") + name),
                                   dir.file(std::string("in/") + name));
    }
    const std::string output = dir.file("out/deeper/result.obj");
    Repaired r = refine(dir.file("in/two_materials.obj"), 1, output);
    EXPECT_EQ(r.result.status, 0) << r.result.err;
    ASSERT_TRUE(r.obj.wellFormed()) << r.obj.problems.front();
    EXPECT_EQ(r.obj.mtllib, std::vector<std::string>{"../../in/two_materials.mtl"});
    EXPECT_TRUE(std::filesystem::exists(dir.file("out/deeper/../../in/two_materials.mtl")));

    // The face without material first, then red (faces 2 and 4), then the other.
    const std::string blue = "bl\xe9u";
    ASSERT_EQ(r.obj.facetMaterial.size(), 16u);
    const std::vector<std::string> expected = {"",    "",    "",    "",    "red", "red",
                                               "red", "red", "red", "red", "red", "red",
                                               blue,  blue,  blue,  blue};
    EXPECT_EQ(r.obj.facetMaterial, expected);
    const std::string text = test::readFile(output);
    EXPECT_EQ(text.find("mtllib ../../in/two_materials.mtl\nv "), 0u);
    EXPECT_NE(text.find("\nusemtl red\nf "), std::string::npos);
    EXPECT_NE(text.find("\nusemtl " + blue + "\nf "), std::string::npos);
    EXPECT_TRUE(test::textureContinuityProblems(r.obj).empty());

    // Written next to the input, the library line stays as it was.
    Repaired beside = refine(dir.file("in/two_materials.obj"), 1, dir.file("in/result.obj"));
    EXPECT_EQ(beside.obj.mtllib, std::vector<std::string>{"two_materials.mtl"});

    // A library that no face uses is still named.
    test::writeFile(
        dir.file("in/library_only.obj"),
        "mtllib two_materials.mtl\n" + test::readFile(test::dataFile("single_quad.obj")));
    Repaired libraryOnly =
        refine(dir.file("in/library_only.obj"), 1, dir.file("out/library_only.obj"));
    EXPECT_EQ(libraryOnly.result.status, 0);
    const std::string written = test::readFile(dir.file("out/library_only.obj"));
    EXPECT_EQ(written.find("mtllib ../in/two_materials.mtl\nv "), 0u);
    EXPECT_EQ(written.find("usemtl"), std::string::npos);
}

TEST(RepairTest, MeshesThatBuiltBeforeGiveTheSameBytes) {
    test::TempDir dir;
    for (const char* name : {"cube_cross_layout_2", "grid_with_seam_2", "pentagon_2",
                             "single_triangle_2", "tiny_and_huge_coordinates_1",
                             "unused_position_2", "cube_without_texture_2", "corners_v_vt_vn_1"}) {
        const std::string stem(name);
        const std::string input = test::dataFile(stem.substr(0, stem.size() - 2) + ".obj");
        const std::string steps = stem.substr(stem.size() - 1);
        test::RunResult r = test::runTool({steps, input, dir.file("out.obj")});
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(test::readFile(dir.file("out.obj")),
                  test::readFile(test::dataFile("expected/" + stem + ".obj")))
            << name;
    }
}

}  // namespace
