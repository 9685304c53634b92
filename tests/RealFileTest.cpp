// Files as real exporters write them: faces through a vertex twice, edges of three
// faces, faces that enclose nothing, byte-order marks and UTF-16, NUL bytes, objects
// and groups. Each is refined (with a warning) or refused with a message that says
// why, and whatever is written loads in another OBJ reader (assimp).

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ObjLoader.h"
#include "FaceCut.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

using namespace faceloom;

namespace {

const std::string kAssimp = "/usr/bin/assimp";

// Another reader's verdict on a written file: empty when it loads.
std::string assimpProblem(const std::string& path) {
    const test::RunResult r = test::runProgram({kAssimp, "info", path});
    return r.status == 0 ? "" : r.out + r.err;
}

struct Case {
    const char* file;
    std::vector<std::string> warnings;  // each with "[path]" standing for the input
    std::size_t facets;                 // after one step
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.file;
}

std::string withPath(std::string line, const std::string& path) {
    return line.replace(line.find("[path]"), 6, "[" + path + "]");
}

class RepairedFile : public testing::TestWithParam<Case> {};

TEST_P(RepairedFile, IsRefinedWithAWarning) {
    if (!test::fileExists(kAssimp)) {
        GTEST_SKIP() << "assimp-utils is not installed";
    }
    const Case& c = GetParam();
    test::TempDir dir;
    const std::string input = test::dataFile(c.file);
    const std::string output = dir.file("out.obj");
    const test::RunResult r = test::runTool({"1", input, output});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const std::string& warning : c.warnings) {
        EXPECT_NE(r.out.find(withPath(warning, input) + "\n"), std::string::npos) << r.out;
    }
    if (c.warnings.empty()) {
        EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
    }
    ASSERT_TRUE(test::fileExists(output));
    const test::ObjFile obj = test::parseObj(test::readFile(output));
    EXPECT_TRUE(obj.wellFormed()) << obj.problems.front();
    EXPECT_EQ(obj.f.size(), c.facets);
    const auto problems = test::textureContinuityProblems(obj);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(assimpProblem(output), "");
}

const char kCut[] =
    "Warning : Cut 1 faces of [path] where they pass through a vertex twice into %s faces, "
    "dropping %s pieces of fewer than 3 corners or repeated";

std::string cutWarning(const char* kept, const char* dropped) {
    std::string text = kCut;
    text.replace(text.find("%s"), 2, kept);
    text.replace(text.find("%s"), 2, dropped);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    RealFileTest, RepairedFile,
    testing::Values(
        // The outline and the hole come out as two faces, the bridge between them goes.
        Case{"face_outline_through_a_vertex_twice.obj", {cutWarning("2", "1")}, 12},
        Case{"face_repeating_its_corners.obj", {cutWarning("1", "2")}, 8},
        Case{"faces_of_fewer_than_three_corners.obj",
             {"Warning : Dropped 4 faces of [path] with fewer than 3 distinct corners: they "
              "enclose no area"},
             8},
        Case{"face_names_a_vertex_twice.obj",
             {"Warning : Dropped 1 faces of [path] with fewer than 3 distinct corners: they "
              "enclose no area"},
             3},
        // Each page gets spine positions of its own.
        Case{"edge_shared_by_three_faces.obj",
             // The pages are fans of their own at the spine: splitting them apart parts
             // the edge too.
             {"Warning : Turned 0 faces and split 4 vertices of [path] to build its surface"},
             12},
        Case{"utf8_with_byte_order_mark.obj", {}, 4},
        Case{"utf16_le_with_byte_order_mark.obj", {}, 4},
        Case{"utf16_be_with_byte_order_mark.obj", {}, 4}),
    [](const testing::TestParamInfo<Case>& info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

TEST(RealFileTest, Utf16IsReadLikeItsUtf8Text) {
    // The object name holds an accented letter and a character beyond 16 bits.
    test::TempDir dir;
    for (const char* file :
         {"utf16_le_with_byte_order_mark.obj", "utf16_be_with_byte_order_mark.obj"}) {
        const test::RunResult r = test::runTool({"1", test::dataFile(file), dir.file("out.obj")});
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string out = test::readFile(dir.file("out.obj"));
        EXPECT_NE(out.find("\no Plane \xc3\xa9\xf0\x9f\x98\x80\n"), std::string::npos) << file;
        EXPECT_EQ(test::parseObj(out).vt.size(), 9u) << file;
    }
}

TEST(RealFileTest, FaceLineWithANulByteIsRefusedByItsLine) {
    test::TempDir dir;
    const std::string input = test::dataFile("nul_byte_in_face_line.obj");
    const test::RunResult r = test::runTool({"1", input, dir.file("out.obj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Line 6 of [" + input +
                         "] holds a NUL byte, so its face can't be read\n"
                         "ERROR : Can't read the corners of face 2 [" +
                         input + "]\n");
    EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
}

TEST(RealFileTest, ObjectsAndGroupsAreKeptAroundTheirFacets) {
    test::TempDir dir;
    const std::string output = dir.file("out.obj");
    const test::RunResult r =
        test::runTool({"1", test::dataFile("objects_and_groups.obj"), output});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string text = test::readFile(output);
    std::vector<std::string> labelLines;
    for (const std::string& line : test::splitLines(text)) {
        if (line[0] != 'v' && line[0] != 'f') {
            labelLines.push_back(line);
        }
    }
    // Grouped by object and group first, in order of first use: the second "legs"
    // face joins the first; names lose the blanks and the CR around them.
    EXPECT_EQ(labelLines, (std::vector<std::string>{"o Chair", "g legs", "usemtl wood", "g seat",
                                                    "usemtl cloth", "o Cushion cover", "g seat",
                                                    "usemtl cloth"}));
    const test::ObjFile obj = test::parseObj(text);
    EXPECT_TRUE(obj.wellFormed());
    std::map<std::tuple<std::string, std::string, std::string>, int> facets;
    for (std::size_t f = 0; f < obj.f.size(); ++f) {
        ++facets[{obj.facetObject[f], obj.facetGroup[f], obj.facetMaterial[f]}];
    }
    EXPECT_EQ(facets, (std::map<std::tuple<std::string, std::string, std::string>, int>{
                          {{"Chair", "legs", "wood"}, 8},
                          {{"Chair", "seat", "cloth"}, 4},
                          {{"Cushion cover", "seat", "cloth"}, 4}}));
    EXPECT_TRUE(test::textureContinuityProblems(obj).empty());
    if (test::fileExists(kAssimp)) {
        const test::RunResult info = test::runProgram({kAssimp, "info", output});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("Meshes:             3\n"), std::string::npos) << info.out;
    }
}

// The cut on the face list itself: what each piece keeps.
TEST(FaceCutTest, PiecesKeepTheirCornersAndTheFaceLabels) {
    const ObjMesh mesh = parseObj(
        "v 0 0 0\nv 4 0 0\nv 4 4 0\nv 0 4 0\nv 1 1 0\nv 3 1 0\nv 3 3 0\nv 1 3 0\n"
        "usemtl m\ng part\no thing\n"
        "f 1/1 2/2 3/3 4/4 1/9 5/5 8/8 7/7 6/6 5/5\nf 1 2 3\n");
    const std::optional<CutFaces> cut = cutFaces(mesh);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->cutFaces, 1u);
    EXPECT_EQ(cut->keptPieces, 2u);
    EXPECT_EQ(cut->droppedPieces, 1u);
    const ObjMesh& out = cut->mesh;
    ASSERT_EQ(out.faceCount(), 3u);
    std::vector<std::vector<std::pair<unsigned, unsigned>>> faces;
    for (std::uint32_t f = 0; f < out.faceCount(); ++f) {
        faces.emplace_back();
        for (const auto& corner : out.faceCorners(f)) {
            faces.back().emplace_back(corner.x, corner.y);
        }
        EXPECT_EQ(out.faceMaterials[f], 0u);
        EXPECT_EQ(out.faceGroups[f], 0u);
        EXPECT_EQ(out.faceObjects[f], 0u);
        EXPECT_EQ(out.faceTypes[f].x, mesh.faceTypes[f == 2 ? 1 : 0].x);
    }
    // The pieces in the face's order, in its place, each corner with its own texture
    // index (the first visit of position 1 keeps texture coordinate 1).
    EXPECT_EQ(faces, (std::vector<std::vector<std::pair<unsigned, unsigned>>>{
                         {{1, 1}, {2, 2}, {3, 3}, {4, 4}},
                         {{5, 5}, {8, 8}, {7, 7}, {6, 6}},
                         {{1, 0}, {2, 0}, {3, 0}}}));
    EXPECT_FALSE(cutFaces(parseObj("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n")));
    // A face naming a position that doesn't exist is left for the builder to refuse.
    EXPECT_FALSE(cutFaces(parseObj("v 0 0 0\nv 1 0 0\nf 1 2 2 3\n")));
}

}  // namespace
