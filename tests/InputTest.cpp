// Reading the input: the loader's rules on small snippets, and the inputs that are
// refused through the binary with a message that says why, status 1 and no file.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "InputLimits.h"
#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

using Pair = std::pair<std::uint32_t, std::uint32_t>;

// The (position, texture) index pairs of the corners of face `only`, or of every face.
std::vector<Pair> cornersOf(const ObjMesh& mesh, int only = -1) {
    std::vector<Pair> result;
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        for (const Corner& corner : mesh.faceCorners(face)) {
            if (only < 0 || face == std::uint32_t(only)) {
                result.emplace_back(corner.position, corner.texture);
            }
        }
    }
    return result;
}

// A face line is read corner by corner in the form of its first corner: a corner of
// another form gives no texture index, and "%u" reads the leading number of a token.
TEST(InputTest, FaceLinesAreReadInTheFormOfTheirFirstCorner) {
    struct Case {
        const char* text;
        CornerForm form;
        std::vector<Pair> corners;
    };
    const std::vector<Case> cases = {
        {"f 1/5 2/6 3/7 4/8", kPositionTexture, {{1, 5}, {2, 6}, {3, 7}, {4, 8}}},
        {"f 1/1/1 2/2/1 3/3/1", kPositionTextureNormal, {{1, 1}, {2, 2}, {3, 3}}},
        {"f 1//1 2//1 3//1", kPositionNormal, {{1, 0}, {2, 0}, {3, 0}}},
        {"f 1/5 2 3", kPositionTexture, {{1, 5}, {2, 0}, {3, 0}}},
        {"f 1 2/5 3/6", kPositionOnly, {{1, 0}, {2, 0}, {3, 0}}},
        {"f 1/4/1 2//1 3/6/1", kPositionTextureNormal, {{1, 4}, {2, 0}, {3, 6}}},
        // Fewer than three corners: kept as written, for the run to drop.
        {"f 1 2", kPositionOnly, {{1, 0}, {2, 0}}},
        {"f", kPositionOnly, {}},
        // A trailing token is a corner, even a comment; trailing blanks are not.
        {"f 1 2 3 #note", kPositionOnly, {{1, 0}, {2, 0}, {3, 0}, {0, 0}}},
        {"f 1 2 3 \t", kPositionOnly, {{1, 0}, {2, 0}, {3, 0}}},
        {"f 12abc x 2/5", kPositionOnly, {{12, 0}, {0, 0}, {2, 0}}},
        {"f 1/x 2/ 3/+4", kPositionTexture, {{1, 0}, {2, 0}, {3, 4}}},
        // Too large for 32 bits: an index no builder accepts.
        {"f 99999999999 2 3", kPositionOnly, {{4294967295u, 0}, {2, 0}, {3, 0}}},
        // Negative indices count back from the last one read before the face; reaching
        // before the first one is invalid (0), like "-0".
        {"v 0 0 0\nv 1 0 0\nvt 0 0\nf -2/-1 -1/-1 -3/1\nv 2 0 0",
         kPositionTexture,
         {{1, 1}, {2, 1}, {0, 1}}},
        {"v 0 0 0\nf -0 -1 1", kPositionOnly, {{0, 0}, {1, 0}, {1, 0}}},
        // A first corner we can't read leaves the face without corners, but it is a face.
        {"f 1/2/3/4 2 3", kCornersUnread, {}},
    };
    for (const Case& c : cases) {
        const ObjMesh mesh = parseObj(std::string(c.text) + "\n");
        ASSERT_EQ(mesh.faceCount(), 1u) << c.text;
        EXPECT_EQ(mesh.faceTypes[0].form, c.form) << c.text;
        EXPECT_EQ(mesh.faceTypes[0].count, c.corners.size()) << c.text;
        EXPECT_EQ(cornersOf(mesh), c.corners) << c.text;
    }
    EXPECT_EQ(cornersOf(parseObj("f 1/2/3/4 2 3\nf 1 2 3 4 5 6 7\n"), 1).size(), 7u);
}

TEST(InputTest, NumbersAndLines) {
    const ObjMesh mesh = parseObj(
        "v 1 2\nv\nv 1 x 3\nv 1 2 3 1\nv -1.5e2 +.25 7E-1\nv 1e-50 2 3\nvt 0.5\nvt 0.1 0.2 "
        "0.3\n");
    std::vector<std::array<float, 3>> positions;
    for (const auto& p : mesh.positions) {
        positions.push_back({p.x, p.y, p.z});
    }
    EXPECT_EQ(positions,
              (std::vector<std::array<float, 3>>{
                  {1, 2, 0}, {0, 0, 0}, {1, 0, 0}, {1, 2, 3}, {-150, 0.25f, 0.7f}, {0, 2, 3}}));
    ASSERT_EQ(mesh.uvCount(), 2u);
    EXPECT_EQ(mesh.uvs[0].x, 0.5f);
    EXPECT_EQ(mesh.uvs[1].y, 0.2f);

    const ObjMesh skipped = test::loadMesh(test::dataFile("skipped_keywords.obj"));
    EXPECT_EQ(skipped.vertexCount(), 1u);  // only the indented "v 1 2 3"
    EXPECT_EQ(skipped.faceCount(), 1u);
    const ObjMesh crlf = test::loadMesh(test::dataFile("crlf_line_ends.obj"));
    EXPECT_EQ(cornersOf(crlf), (std::vector<Pair>{{1, 1}, {2, 2}, {3, 3}}));  // CR no corner
    EXPECT_EQ(test::loadMesh(test::dataFile("no_final_line_end.obj")).faceCount(), 1u);
    for (const char* text : {"", "# only a comment\n\n", "vn 0 0 1\n"}) {
        const ObjMesh empty = parseObj(text);
        EXPECT_EQ(empty.faceCount() + empty.vertexCount() + empty.uvCount(), 0u) << text;
    }
}

TEST(InputTest, LabelsAreKeptAsBytes) {
    const ObjMesh mesh = parseObj(
        "mtllib a.mtl b.mtl\nf 1 2 3\nusemtl  red \r\nf 1 2 3\nusemtl bl\xe9u\nf 1 2 3\n"
        "usemtl red\nf 1 2 3\nmtllib  my library.mtl\n");
    EXPECT_EQ(mesh.materialLibraries, (std::vector<std::string>{"a.mtl b.mtl", "my library.mtl"}));
    EXPECT_EQ(mesh.materialNames, (std::vector<std::string>{"red", "bl\xe9u"}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<std::uint32_t>{kNoMaterial, 0, 1, 0}));
    EXPECT_TRUE(mesh.faceObjects.empty());
    EXPECT_TRUE(parseObj("f 1 2 3\n").faceMaterials.empty());
}

// What can't be read is refused with a message that says why, and where in the file:
// status 1, no file written, whatever follows the output; no phase begun when the
// file or a number in it can't be read.
TEST(InputTest, InputThatCantBeReadSaysWhy) {
    test::TempDir dir;
    const std::string nul = test::dataFile("nul_bytes_in_two_face_lines.obj");
    const std::string quad = test::dataFile("single_quad.obj");
    std::vector<std::pair<std::string, std::string>> cases = {
        {dir.file("absent.obj"), "ERROR : Can't Find [" + dir.file("absent.obj") + "]\n"},
        {quad + "/a.obj", "ERROR : Can't Find [" + quad + "/a.obj]\n"},  // not a directory
        {dir.path(), "ERROR : Can't read [" + dir.path() + "]: Is a directory\n"},
    };
    for (const std::string number : {"nan", "-INF", "1e39"}) {
        const std::string input = dir.file(number + ".obj");
        test::writeFile(input, "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 " + number + "\nf 1 2 3\n");
        cases.emplace_back(input, "ERROR : Line 4 of [" + input + "] holds a number that is " +
                                      "not finite in single precision: " + number + "\n");
    }
    // Root reads a file of mode 000 all the same; then there is nothing to pin.
    const std::string locked = dir.file("locked.obj");
    test::writeFile(locked, test::readFile(quad));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    if (::access(locked.c_str(), R_OK) != 0) {
        cases.emplace_back(locked, "ERROR : Can't read [" + locked + "]: Permission denied\n");
    }
    for (const auto& [input, err] : cases) {
        const test::RunResult r = test::runTool({"1", input, dir.file("out.obj"), "ignored"});
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.out, "") << input;
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_FALSE(test::fileExists(dir.file("out.obj"))) << input;
    }
    // Face lines with NUL bytes are refused by the first of them.
    const test::RunResult r = test::runTool({"1", nul, dir.file("out.obj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Line 6 of [" + nul + "] holds a NUL byte, so its face can't be " +
                         "read\nERROR : Can't read the corners of face 2 [" + nul + "]\n");
    EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
    // Words still read as 0, as they always did.
    const std::string words = dir.file("words.obj");
    test::writeFile(words, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 zero\nf 1 2 3 4\n");
    EXPECT_EQ(test::runTool({"1", words, dir.file("out.obj")}).status, 0);
}

TEST(InputTest, Utf16IsReadLikeItsUtf8Text) {
    // The object name holds an accented letter and a character beyond 16 bits.
    test::TempDir dir;
    for (const char* file : {"utf8_with_byte_order_mark.obj", "utf16_le_with_byte_order_mark.obj",
                             "utf16_be_with_byte_order_mark.obj"}) {
        const test::RunResult r = test::runTool({"1", test::dataFile(file), dir.file("out.obj")});
        EXPECT_EQ(r.status, 0) << r.err;
        const test::ObjFile obj = test::parseObj(test::readFile(dir.file("out.obj")));
        EXPECT_EQ(obj.f.size(), 4u) << file;
        if (std::string(file).rfind("utf16", 0) == 0) {
            EXPECT_EQ(obj.facetObject[0], "Plane \xc3\xa9\xf0\x9f\x98\x80") << file;
        }
    }
}

TEST(InputTest, VerticesPastTheLimitAreRefusedBeforeAnyWork) {
    // A fan of triangles around position 1, or around texture coordinate 1 at a
    // position of its own in every triangle; every other corner is its own. (Built
    // directly: parsing it would take seconds.)
    const auto fan = [](std::uint32_t faces, bool texture) {
        ObjMesh mesh;
        mesh.positions.resize(3 * faces);
        mesh.uvs.resize(3 * faces);
        mesh.faceTypes.assign(faces, {kPositionTexture, 3});
        for (std::uint32_t k = 1; k <= 3 * faces; ++k) {
            const std::uint32_t hub = (k % 3 == 1) ? 1 : k;
            mesh.corners.push_back(texture ? Corner{k, hub} : Corner{hub, k});
        }
        mesh.indexFaces();
        return mesh;
    };
    EXPECT_EQ(inputLimitRefusal(fan(kMaxFacesAtVertex, false)), "");
    EXPECT_EQ(inputLimitRefusal(fan(kMaxFacesAtVertex + 1, false)),
              "ERROR : More than 120000 faces of [] meet at position 1: the surface builder's "
              "time grows with the square of the faces at a vertex, so 120000 is the most it "
              "takes");
    // One coordinate at many positions is as many layout vertices, each on one face:
    // nothing to refuse (exporters give every unmapped corner `vt 0 0`).
    EXPECT_EQ(inputLimitRefusal(fan(kMaxFacesAtVertex + 1, true)), "");
}

// A face of n corners refines in time linear in n: every child is found and named
// without walking the face again.
TEST(InputTest, LargeFaceIsRefinedAndTracedToItsMaterial) {
    test::TempDir dir;
    const std::string input = dir.file("large_face.obj"), out = dir.file("out.obj");
    // A zigzag of positions: any simple polygon will do.
    std::string text = "usemtl m\n", face = "f";
    for (int i = 0; i < 100001; ++i) {
        text += "v " + std::to_string(i) + " " + std::to_string(i % 2) + " 0\n";
        face += " " + std::to_string(i + 1);
    }
    test::writeFile(input, text + face + "\n");
    const test::RunResult r = test::runTool({"1", input, out});
    ASSERT_EQ(r.status, 0) << r.err;
    const test::ObjFile obj = test::parseObj(test::readFile(out));
    EXPECT_TRUE(obj.wellFormed());
    EXPECT_EQ(obj.f.size(), 100001u);
    EXPECT_EQ(obj.facetMaterial.size(), 100001u);
}

}  // namespace
