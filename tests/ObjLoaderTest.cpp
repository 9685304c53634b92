// The loader's reading rules, pinned on small files and snippets.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ObjLoader.h"
#include "ObjMesh.h"
#include "support/RecordedDiagnostics.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

using Corner = std::pair<unsigned int, unsigned int>;

std::vector<Corner> cornersOf(const ObjMesh& mesh) {
    std::vector<Corner> result;
    for (std::uint64_t i = 0; i < mesh.cornerCount(); ++i) {
        result.emplace_back(mesh.corners[i].x, mesh.corners[i].y);
    }
    return result;
}

std::vector<Corner> cornersOfFace(const ObjMesh& mesh, std::uint32_t face) {
    std::vector<Corner> result;
    for (const vec2<unsigned int>& corner : mesh.faceCorners(face)) {
        result.emplace_back(corner.x, corner.y);
    }
    return result;
}

ObjMesh load(const std::string& dataName) {
    return test::loadMesh(test::dataFile(dataName));
}

TEST(ObjLoaderTest, PlainAndPairedCorners) {
    ObjMesh tri = parseObj("f 1 2 3\n");
    EXPECT_EQ(tri.faceCount(), 1u);
    EXPECT_EQ(tri.faceTypes[0].x, kPositionOnly);
    EXPECT_EQ(tri.faceTypes[0].y, 3u);
    EXPECT_EQ(cornersOf(tri), (std::vector<Corner>{{1, 0}, {2, 0}, {3, 0}}));

    ObjMesh quad = parseObj("f 1/5 2/6 3/7 4/8\n");
    EXPECT_EQ(quad.faceTypes[0].y, 4u);
    EXPECT_EQ(quad.faceTypes[0].x, kPositionTexture);
    EXPECT_EQ(cornersOf(quad), (std::vector<Corner>{{1, 5}, {2, 6}, {3, 7}, {4, 8}}));
}

TEST(ObjLoaderTest, CornersWithNormalsKeepPositionAndTexture) {
    ObjMesh full = load("corners_v_vt_vn.obj");
    ASSERT_EQ(full.faceCount(), 1u);
    EXPECT_EQ(full.faceTypes[0].x, kPositionTextureNormal);
    EXPECT_EQ(cornersOf(full), (std::vector<Corner>{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));

    ObjMesh noTexture = load("corners_v_vn.obj");
    ASSERT_EQ(noTexture.faceCount(), 1u);
    EXPECT_EQ(noTexture.faceTypes[0].x, kPositionNormal);
    EXPECT_EQ(cornersOf(noTexture), (std::vector<Corner>{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
}

TEST(ObjLoaderTest, OnlyTheFirstCornerDecidesTheForm) {
    EXPECT_EQ(cornersOf(parseObj("f 1/5 2 3\n")),
              (std::vector<Corner>{{1, 5}, {2, 0}, {3, 0}}));
    EXPECT_EQ(cornersOf(parseObj("f 1 2/5 3/6\n")),
              (std::vector<Corner>{{1, 0}, {2, 0}, {3, 0}}));
    // Read as v/vt/vn: a later v//vn corner has no texture index to give.
    EXPECT_EQ(cornersOf(parseObj("f 1/4/1 2//1 3/6/1\n")),
              (std::vector<Corner>{{1, 4}, {2, 0}, {3, 6}}));

    // A first corner we can't read leaves the face without corners, but it is a face.
    ObjMesh unread = parseObj("f 1/2/3/4 2 3\n");
    EXPECT_EQ(unread.faceCount(), 1u);
    EXPECT_EQ(unread.faceTypes[0].x, kCornersUnread);
    EXPECT_EQ(unread.faceTypes[0].y, 0u);
    EXPECT_EQ(unread.cornerCount(), 0u);
}

TEST(ObjLoaderTest, LargeFacesKeepEveryCorner) {
    ObjMesh pentagon = load("pentagon.obj");
    ASSERT_EQ(pentagon.faceCount(), 1u);
    EXPECT_EQ(pentagon.faceTypes[0].y, 5u);
    EXPECT_EQ(cornersOf(pentagon), (std::vector<Corner>{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}));

    ObjMesh mixed = parseObj("f 1 2 3 4 5 6 7\nf 1 2 3\nf 4 5 6 7\n");
    EXPECT_EQ(cornersOfFace(mixed, 1), (std::vector<Corner>{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(cornersOfFace(mixed, 2), (std::vector<Corner>{{4, 0}, {5, 0}, {6, 0}, {7, 0}}));
}

TEST(ObjLoaderTest, ShortAndOddFaceLines) {
    // Fewer than three corners: kept as written, for the run to drop.
    EXPECT_EQ(cornersOf(parseObj("f 1 2\n")), (std::vector<Corner>{{1, 0}, {2, 0}}));
    ObjMesh bare = parseObj("f\n");
    EXPECT_EQ(bare.faceCount(), 1u);
    EXPECT_EQ(bare.faceTypes[0].y, 0u);
    // A trailing token is a corner, even a comment; trailing blanks are not.
    ObjMesh noted = parseObj("f 1 2 3 #note\n");
    EXPECT_EQ(cornersOf(noted), (std::vector<Corner>{{1, 0}, {2, 0}, {3, 0}, {0, 0}}));
    EXPECT_EQ(parseObj("f 1 2 3 \t\n").faceTypes[0].y, 3u);
    // "%u" reads the leading number of a token and ignores the rest.
    EXPECT_EQ(cornersOf(parseObj("f 12abc x 2/5\n")),
              (std::vector<Corner>{{12, 0}, {0, 0}, {2, 0}}));
    EXPECT_EQ(cornersOf(parseObj("f 1/x 2/ 3/+4\n")),
              (std::vector<Corner>{{1, 0}, {2, 0}, {3, 4}}));
    // Too large for 32 bits: an index no builder accepts.
    EXPECT_EQ(cornersOf(parseObj("f 99999999999 2 3\n"))[0].first, 4294967295u);
}

TEST(ObjLoaderTest, NegativeIndicesAreRelativeToWhatWasReadBefore) {
    ObjMesh mesh = load("negative_indices.obj");
    ASSERT_EQ(mesh.faceCount(), 3u);
    EXPECT_EQ(cornersOfFace(mesh, 0), (std::vector<Corner>{{1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(cornersOfFace(mesh, 1), (std::vector<Corner>{{1, 1}, {3, 3}, {4, 4}}));
    // Reaching before the first one is invalid (0), like "-0".
    EXPECT_EQ(cornersOfFace(mesh, 2), (std::vector<Corner>{{0, 1}, {1, 0}, {2, 2}}));
    EXPECT_EQ(cornersOf(parseObj("v 0 0 0\nf -0 -1 1\n"))[0].first, 0u);
}

TEST(ObjLoaderTest, PositionsAndTextureCoordinates) {
    ObjMesh mesh = parseObj(
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
    EXPECT_EQ(mesh.uvs[0].y, 0.0f);
    EXPECT_EQ(mesh.uvs[1].x, 0.1f);
    EXPECT_EQ(mesh.uvs[1].y, 0.2f);
    // Beyond float's range is no number to compute with: refused, not read as 0.
    EXPECT_THROW(parseObj("v 1e39 2 3\n"), std::runtime_error);
}

TEST(ObjLoaderTest, KeywordsMustStandAlone) {
    ObjMesh mesh = load("skipped_keywords.obj");
    EXPECT_EQ(mesh.vertexCount(), 1u);  // only the indented "v 1 2 3"
    EXPECT_EQ(mesh.positions[0].z, 3.0f);
    EXPECT_EQ(mesh.uvCount(), 1u);
    EXPECT_EQ(mesh.faceCount(), 1u);
    EXPECT_FALSE(mesh.loadFailed());
}

TEST(ObjLoaderTest, LineEnds) {
    ObjMesh crlf = load("crlf_line_ends.obj");
    EXPECT_EQ(crlf.vertexCount(), 3u);
    EXPECT_EQ(crlf.uvCount(), 3u);
    ASSERT_EQ(crlf.faceCount(), 1u);
    EXPECT_EQ(crlf.faceTypes[0].y, 3u);  // the carriage return is not a fourth corner
    EXPECT_EQ(cornersOf(crlf), (std::vector<Corner>{{1, 1}, {2, 2}, {3, 3}}));

    ObjMesh unterminated = load("no_final_line_end.obj");
    EXPECT_EQ(unterminated.vertexCount(), 3u);
    EXPECT_EQ(unterminated.faceCount(), 1u);
}

TEST(ObjLoaderTest, MaterialsAreKeptAsBytes) {
    ObjMesh mesh = parseObj(
        "mtllib a.mtl b.mtl\nf 1 2 3\nusemtl  red \r\nf 1 2 3\nusemtl bl\xe9u\nf 1 2 3\n"
        "usemtl red\nf 1 2 3\nmtllib  my library.mtl\n");
    EXPECT_EQ(mesh.materialLibraries, (std::vector<std::string>{"a.mtl b.mtl", "my library.mtl"}));
    EXPECT_EQ(mesh.materialNames, (std::vector<std::string>{"red", "bl\xe9u"}));
    ASSERT_TRUE(mesh.faceMaterials);
    EXPECT_EQ(mesh.faceMaterials[0], kNoMaterial);
    EXPECT_EQ(mesh.faceMaterials[1], 0u);
    EXPECT_EQ(mesh.faceMaterials[2], 1u);
    EXPECT_EQ(mesh.faceMaterials[3], 0u);
    EXPECT_FALSE(parseObj("f 1 2 3\n").faceMaterials);
}

TEST(ObjLoaderTest, EmptyInputsGiveALoadedEmptyRecord) {
    for (const char* text : {"", "# only a comment\n\n", "vn 0 0 1\n"}) {
        ObjMesh mesh = parseObj(text);
        EXPECT_EQ(mesh.faceCount() + mesh.vertexCount() + mesh.uvCount(), 0u) << text;
        EXPECT_FALSE(mesh.loadFailed());
    }
}

TEST(ObjLoaderTest, ArraysOutliveTheRecord) {
    boost::shared_array<vec2<unsigned int>> corners;
    {
        ObjMesh mesh = parseObj("f 4/5 6/7 8/9\n");
        corners = mesh.getCorners();
    }
    EXPECT_EQ(corners[2].x, 8u);
    EXPECT_EQ(corners[2].y, 9u);
}

TEST(ObjLoaderTest, MissingFileLeavesAnEmptyRecord) {
    test::TempDir dir;
    test::RecordedDiagnostics diagnostics;
    ObjMesh mesh(dir.file("absent.obj").c_str(), diagnostics);
    EXPECT_TRUE(mesh.loadFailed());
    EXPECT_EQ(mesh.faceCount() + mesh.vertexCount() + mesh.uvCount(), 0u);
    EXPECT_EQ(diagnostics.err, "ERROR : Can't Find [" + dir.file("absent.obj") + "]\n");
    ObjMesh directory(dir.path().c_str(), diagnostics);
    EXPECT_TRUE(directory.loadFailed());
}

}  // namespace
