// Inputs the tool can't refine soundly, or not in reasonable time, are refused with
// a message that says why, exit status 1 and no output file.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ObjLoader.h"
#include "InputLimits.h"
#include "SharedArray.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

const std::string kQuad = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";

// One face through `n` positions on a circle-ish zigzag (any simple polygon will do).
std::string bigFace(int n) {
    std::string text, face = "f";
    for (int i = 0; i < n; ++i) {
        text += "v " + std::to_string(i) + " " + std::to_string(i % 2) + " 0\n";
        face += " " + std::to_string(i + 1);
    }
    return text + face + "\n";
}

TEST(InputRefusalTest, NumbersThatAreNotFiniteAreRefusedWithTheirLine) {
    test::TempDir dir;
    struct Case {
        std::string text;
        std::string line;  // the line the message names, and the number it quotes
    };
    const std::vector<Case> cases = {
        {"v nan 0 0\n", "Line 5 of [%] holds a number that is not finite in single precision: nan"},
        {"v 0 0 inf\n", "Line 5 of [%] holds a number that is not finite in single precision: inf"},
        {"v 0 -INF 0\n",
         "Line 5 of [%] holds a number that is not finite in single precision: -INF"},
        {"v 0 0 1e39\n",
         "Line 5 of [%] holds a number that is not finite in single precision: 1e39"},
        {"vt -nan 0\n",
         "Line 5 of [%] holds a number that is not finite in single precision: -nan"},
        {"vt 0 1e999\n",
         "Line 5 of [%] holds a number that is not finite in single precision: 1e999"},
    };
    for (const Case& c : cases) {
        const std::string input = dir.file("in.obj"), out = dir.file("out.obj");
        test::writeFile(input, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n" + c.text + "f 1 2 3 4\n");
        test::RunResult r = test::runTool({"1", input, out});
        std::string expected = "ERROR : " + c.line + "\n";
        expected.replace(expected.find('%'), 1, input);
        EXPECT_EQ(r.err, expected) << c.text;
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_EQ(r.out, "") << c.text;
        EXPECT_FALSE(test::fileExists(out)) << c.text;
    }
    // Words still read as 0, as they always did.
    const std::string words = dir.file("words.obj");
    test::writeFile(words, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 zero\nf 1 2 3 4\n");
    EXPECT_EQ(test::runTool({"1", words, dir.file("out.obj")}).status, 0);
}

TEST(InputRefusalTest, RefinementThatOverflowsIsNeverWritten) {
    test::TempDir dir;
    for (const char* name : {"coordinates_near_float_limit.obj", "texture_near_float_limit.obj"}) {
        const std::string input = test::dataFile(name), out = dir.file("out.obj");
        test::RunResult r = test::runTool({"1", input, out});
        const std::string part =
            std::string(name).rfind("texture", 0) == 0 ? "texture coordinates" : "positions";
        EXPECT_EQ(r.err, "ERROR : The refined " + part + " of [" + input +
                             "] overflow single precision (its numbers are too close to 3.4e38 "
                             "to refine): nothing written\n")
            << name;
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_FALSE(test::fileExists(out)) << name;
    }
}

TEST(InputRefusalTest, FacesAndVerticesPastTheLimits) {
    EXPECT_EQ(inputLimitRefusal(parseObj(kQuad + "f 1/1 2/2 3/3 4/4\n")), "");

    EXPECT_EQ(inputLimitRefusal(parseObj("f 1 2 3\n" + bigFace(kMaxFaceCorners + 1))),
              "ERROR : Face 2 of [] has 100001 corners: the refinement's time grows with the "
              "square of a face's corners, so 100000 is the most it takes");
    EXPECT_EQ(inputLimitRefusal(parseObj(bigFace(kMaxFaceCorners))), "");

    // A fan of triangles around position 1, or texture coordinate 1; every other
    // corner is its own. (Built directly: parsing it would take seconds.)
    const auto fan = [](std::uint32_t faces, bool texture) {
        ObjMesh mesh;
        mesh.faceCount() = faces;
        mesh.vertexCount() = mesh.uvCount() = 3 * faces;
        mesh.cornerCount() = 3 * faces;
        mesh.faceTypes =
            toSharedArray(std::vector<vec2<unsigned int>>(faces, {kPositionTexture, 3}));
        std::vector<vec2<unsigned int>> corners;
        for (unsigned int k = 1; k <= 3 * faces; ++k) {
            const unsigned int hub = (k % 3 == 1) ? 1 : k;
            corners.push_back(texture ? vec2<unsigned int>{k, hub} : vec2<unsigned int>{hub, k});
        }
        mesh.corners = toSharedArray(corners);
        return mesh;
    };
    EXPECT_EQ(inputLimitRefusal(fan(kMaxFacesAtVertex, false)), "");
    EXPECT_EQ(inputLimitRefusal(fan(kMaxFacesAtVertex + 1, false)),
              "ERROR : More than 120000 faces of [] meet at position 1: the surface builder's "
              "time grows with the square of the faces at a vertex, so 120000 is the most it "
              "takes");
    EXPECT_EQ(inputLimitRefusal(fan(kMaxFacesAtVertex, true)), "");
    EXPECT_NE(
        inputLimitRefusal(fan(kMaxFacesAtVertex + 1, true)).find(" meet at texture coordinate 1:"),
        std::string::npos);
}

TEST(InputRefusalTest, RefusedBeforeAnyWork) {
    test::TempDir dir;
    const std::string input = dir.file("huge_face.obj"), out = dir.file("out.obj");
    test::writeFile(input, bigFace(kMaxFaceCorners + 1));
    test::RunResult r = test::runTool({"1", input, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("ERROR : Face 1 of [" + input + "] has 100001 corners", 0), 0u) << r.err;
    EXPECT_FALSE(test::fileExists(out));
}

// Refining a face of n corners names each of its n children by where its corner stands
// in the face; done by a search per child, that took n * n steps.
TEST(InputRefusalTest, LargeFaceIsRefined) {
    test::TempDir dir;
    const std::string input = dir.file("large_face.obj"), out = dir.file("out.obj");
    test::writeFile(input, "usemtl m\n" + bigFace(10000));
    test::RunResult r = test::runTool({"1", input, out});
    ASSERT_EQ(r.status, 0) << r.err;
    const test::ObjFile obj = test::parseObj(test::readFile(out));
    EXPECT_TRUE(obj.wellFormed());
    EXPECT_EQ(obj.f.size(), 10000u);
    EXPECT_EQ(obj.facetMaterial.size(), 10000u);  // every child traced to its face
}

}  // namespace

namespace {

TEST(InputRefusalTest, InputThatCantBeReadSaysWhyInOneLine) {
    test::TempDir dir;
    struct Case {
        std::string input;
        std::string err;
    };
    std::vector<Case> cases = {
        {dir.file("absent.obj"), "ERROR : Can't Find [" + dir.file("absent.obj") + "]\n"},
        {dir.path(), "ERROR : Can't read [" + dir.path() + "]: Is a directory\n"},
    };
    // Root reads a file of mode 000 all the same; then there is nothing to pin.
    const std::string locked = dir.file("locked.obj");
    test::writeFile(locked, test::readFile(test::dataFile("single_quad.obj")));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    if (::access(locked.c_str(), R_OK) != 0) {
        cases.push_back({locked, "ERROR : Can't read [" + locked + "]: Permission denied\n"});
    }
    for (const Case& c : cases) {
        test::RunResult r = test::runTool({"1", c.input, dir.file("out.obj")});
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");  // no phase begun, no "NULL Mesh" after
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
    }
}

}  // namespace
