// Reading the input: the loader's rules on small snippets, and the inputs that are
// refused through the binary with a message that says why, status 1 and no file.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
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

std::vector<Pair> cornersOf(const ObjMesh& mesh) {
    std::vector<Pair> result;
    for (const Corner& corner : mesh.corners) {
        result.emplace_back(corner.position, corner.texture);
    }
    return result;
}

std::vector<Pair> cornersOfFace(const ObjMesh& mesh, std::uint32_t face) {
    std::vector<Pair> result;
    for (const Corner& corner : mesh.faceCorners(face)) {
        result.emplace_back(corner.position, corner.texture);
    }
    return result;
}

TEST(InputTest, CornerFormsAreDecidedByTheFirstCorner) {
    const ObjMesh quad = parseObj("f 1/5 2/6 3/7 4/8\n");
    EXPECT_EQ(quad.faceTypes[0].form, kPositionTexture);
    EXPECT_EQ(cornersOf(quad), (std::vector<Pair>{{1, 5}, {2, 6}, {3, 7}, {4, 8}}));
    const ObjMesh full = test::loadMesh(test::dataFile("corners_v_vt_vn.obj"));
    EXPECT_EQ(full.faceTypes[0].form, kPositionTextureNormal);
    EXPECT_EQ(cornersOf(full), (std::vector<Pair>{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    const ObjMesh noTexture = test::loadMesh(test::dataFile("corners_v_vn.obj"));
    EXPECT_EQ(noTexture.faceTypes[0].form, kPositionNormal);
    EXPECT_EQ(cornersOf(noTexture), (std::vector<Pair>{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));

    EXPECT_EQ(cornersOf(parseObj("f 1/5 2 3\n")), (std::vector<Pair>{{1, 5}, {2, 0}, {3, 0}}));
    EXPECT_EQ(cornersOf(parseObj("f 1 2/5 3/6\n")), (std::vector<Pair>{{1, 0}, {2, 0}, {3, 0}}));
    // Read as v/vt/vn: a later v//vn corner has no texture index to give.
    EXPECT_EQ(cornersOf(parseObj("f 1/4/1 2//1 3/6/1\n")),
              (std::vector<Pair>{{1, 4}, {2, 0}, {3, 6}}));
    // A first corner we can't read leaves the face without corners, but it is a face.
    const ObjMesh unread = parseObj("f 1/2/3/4 2 3\nf 1 2 3 4 5 6 7\n");
    EXPECT_EQ(unread.faceTypes[0].form, kCornersUnread);
    EXPECT_EQ(unread.faceTypes[0].count, 0u);
    EXPECT_EQ(cornersOfFace(unread, 1).size(), 7u);
}

TEST(InputTest, ShortAndOddFaceLines) {
    // Fewer than three corners: kept as written, for the run to drop.
    EXPECT_EQ(cornersOf(parseObj("f 1 2\n")), (std::vector<Pair>{{1, 0}, {2, 0}}));
    EXPECT_EQ(parseObj("f\n").faceTypes[0].count, 0u);
    // A trailing token is a corner, even a comment; trailing blanks are not.
    EXPECT_EQ(cornersOf(parseObj("f 1 2 3 #note\n")),
              (std::vector<Pair>{{1, 0}, {2, 0}, {3, 0}, {0, 0}}));
    EXPECT_EQ(parseObj("f 1 2 3 \t\n").faceTypes[0].count, 3u);
    // "%u" reads the leading number of a token and ignores the rest.
    EXPECT_EQ(cornersOf(parseObj("f 12abc x 2/5\n")), (std::vector<Pair>{{12, 0}, {0, 0}, {2, 0}}));
    EXPECT_EQ(cornersOf(parseObj("f 1/x 2/ 3/+4\n")), (std::vector<Pair>{{1, 0}, {2, 0}, {3, 4}}));
    // Too large for 32 bits: an index no builder accepts.
    EXPECT_EQ(cornersOf(parseObj("f 99999999999 2 3\n"))[0].first, 4294967295u);
}

TEST(InputTest, NegativeIndicesAreRelativeToWhatWasReadBefore) {
    const ObjMesh mesh = test::loadMesh(test::dataFile("negative_indices.obj"));
    ASSERT_EQ(mesh.faceCount(), 3u);
    EXPECT_EQ(cornersOfFace(mesh, 0), (std::vector<Pair>{{1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(cornersOfFace(mesh, 1), (std::vector<Pair>{{1, 1}, {3, 3}, {4, 4}}));
    // Reaching before the first one is invalid (0), like "-0".
    EXPECT_EQ(cornersOfFace(mesh, 2), (std::vector<Pair>{{0, 1}, {1, 0}, {2, 2}}));
    EXPECT_EQ(cornersOf(parseObj("v 0 0 0\nf -0 -1 1\n"))[0].first, 0u);
}

TEST(InputTest, NumbersAndLines) {
    const ObjMesh mesh = parseObj(
        "v 1 2\nv\nv 1 x 3\nv 1 2 3 1\nv -1.5e2 +.25 7E-1\nv 1e-50 2 3\nvt 0.5\nvt 0.1 0.2 "
        "0.3\n");
    ASSERT_EQ(mesh.vertexCount(), 6u);
    const float expected[6][3] = {{1, 2, 0}, {0, 0, 0},           {1, 0, 0},
                                  {1, 2, 3}, {-150, 0.25f, 0.7f}, {0, 2, 3}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(mesh.positions[i].x, expected[i][0]) << i;
        EXPECT_EQ(mesh.positions[i].y, expected[i][1]) << i;
        EXPECT_EQ(mesh.positions[i].z, expected[i][2]) << i;
    }
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

TEST(InputTest, InputThatCantBeReadSaysWhyInOneLine) {
    test::TempDir dir;
    std::vector<std::pair<std::string, std::string>> cases = {
        {dir.file("absent.obj"), "ERROR : Can't Find [" + dir.file("absent.obj") + "]\n"},
        {dir.path(), "ERROR : Can't read [" + dir.path() + "]: Is a directory\n"},
    };
    // Root reads a file of mode 000 all the same; then there is nothing to pin.
    const std::string locked = dir.file("locked.obj");
    test::writeFile(locked, test::readFile(test::dataFile("single_quad.obj")));
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    if (::access(locked.c_str(), R_OK) != 0) {
        cases.emplace_back(locked, "ERROR : Can't read [" + locked + "]: Permission denied\n");
    }
    for (const auto& [input, err] : cases) {
        const test::RunResult r = test::runTool({"1", input, dir.file("out.obj")});
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.out, "");  // no phase begun, no "NULL Mesh" after
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
    }
}

TEST(InputTest, NumbersThatAreNotFiniteAreRefusedWithTheirLine) {
    test::TempDir dir;
    for (const std::string number : {"nan", "inf", "-INF", "1e39", "-nan", "1e999"}) {
        const std::string input = dir.file("in.obj"), out = dir.file("out.obj");
        test::writeFile(input,
                        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 " + number + "\nf 1 2 3 4\n");
        const test::RunResult r = test::runTool({"1", input, out});
        EXPECT_EQ(r.err, "ERROR : Line 5 of [" + input +
                             "] holds a number that is not finite in single precision: " + number +
                             "\n");
        EXPECT_EQ(r.status, 1) << number;
        EXPECT_EQ(r.out, "") << number;
        EXPECT_FALSE(test::fileExists(out)) << number;
    }
    // Words still read as 0, as they always did.
    const std::string words = dir.file("words.obj");
    test::writeFile(words, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 zero\nf 1 2 3 4\n");
    EXPECT_EQ(test::runTool({"1", words, dir.file("out.obj")}).status, 0);
}

TEST(InputTest, FaceLinesWithNulBytesAreRefusedByTheFirstOfThem) {
    test::TempDir dir;
    const std::string input = test::dataFile("nul_bytes_in_two_face_lines.obj");
    const test::RunResult r = test::runTool({"1", input, dir.file("out.obj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Line 6 of [" + input +
                         "] holds a NUL byte, so its face can't be read\n"
                         "ERROR : Can't read the corners of face 2 [" +
                         input + "]\n");
    EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
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

// A face of n corners: a zigzag of positions (any simple polygon will do).
std::string bigFace(int n) {
    std::string text, face = "f";
    for (int i = 0; i < n; ++i) {
        text += "v " + std::to_string(i) + " " + std::to_string(i % 2) + " 0\n";
        face += " " + std::to_string(i + 1);
    }
    return text + face + "\n";
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
    test::writeFile(input, "usemtl m\n" + bigFace(100001));
    const test::RunResult r = test::runTool({"1", input, out});
    ASSERT_EQ(r.status, 0) << r.err;
    const test::ObjFile obj = test::parseObj(test::readFile(out));
    EXPECT_TRUE(obj.wellFormed());
    EXPECT_EQ(obj.f.size(), 100001u);
    EXPECT_EQ(obj.facetMaterial.size(), 100001u);
}

}  // namespace
