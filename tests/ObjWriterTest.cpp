// The OBJ writer: numbers exactly as a default C++ stream writes them, long blocks in
// order, and every refined facet under the object, group and material of its face,
// grouped in the order they are first used, the material libraries named from where
// the output is.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

#include "IndexTexts.h"
#include "MergedObjWriter.h"
#include "support/ObjFile.h"
#include "support/StringSink.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

using namespace faceloom;

namespace {

std::string streamed(float x, float y, float z) {
    std::ostringstream line;
    line << "v " << double(x) << ' ' << double(y) << ' ' << double(z) << '\n';
    return line.str();
}

TEST(ObjWriterTest, NumbersAreWrittenAsAStreamWritesThem) {
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 1.0f,
                                 2.0f,
                                 0.5f,
                                 0.1234567f,
                                 1e-4f,
                                 9.99999e-5f,
                                 1e-5f,
                                 999999.0f,
                                 999999.5f,
                                 1e6f,
                                 1234567.0f,
                                 3e38f,
                                 1e-38f,
                                 1e-45f,
                                 -7.25f,
                                 100000.0f,
                                 0.000123456f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 -std::numeric_limits<float>::quiet_NaN()};
    std::mt19937 random(12345);
    for (int i = 0; i < 20000; ++i) {
        // Random bit patterns cover every exponent; finite ones only, NaN is above.
        std::uint32_t bits = random();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) {
            values.push_back(value);
        }
        values.push_back(
            std::ldexp(float(random() % 2000001) / 1e6f - 1.0f, int(random() % 40) - 20));
    }
    RefinedMesh mesh;
    std::string expected;
    for (std::size_t i = 0; i + 3 <= values.size(); i += 3) {
        mesh.positions.push_back({values[i], values[i + 1], values[i + 2]});
        expected += streamed(values[i], values[i + 1], values[i + 2]);
    }
    EXPECT_EQ(test::objText(mesh), expected);
}

// The groups follow the facets' first use of each material, not the materials' own
// order: a material listed second but used first comes first.
TEST(ObjWriterTest, MaterialGroupsComeInOrderOfFirstUse) {
    RefinedMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int facet = 0; facet < 4; ++facet) {
        mesh.positionCorners.insert(mesh.positionCorners.end(), {0, 1, 2, 3});
    }
    mesh.materialNames = {"first listed", "second listed"};
    mesh.facetMaterials = {1, kNoMaterial, 1, 0};
    EXPECT_EQ(test::objText(mesh),
              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
              "usemtl second listed\nf 1 2 3 4\nf 1 2 3 4\n"
              "f 1 2 3 4\n"
              "usemtl first listed\nf 1 2 3 4\n");
}

// Indices are written from texts made once, and past those as they come.
TEST(ObjWriterTest, IndexTextsNameEveryItemFromOne) {
    const IndexTexts texts(12);
    for (const std::uint32_t item : {0u, 9u, 11u, 12u, 99u, 4294967294u}) {
        char out[32];
        EXPECT_EQ(std::string(out, texts.write(out, item)), std::to_string(item + 1ull));
    }
}

// Long blocks are formatted in chunks on two threads: every line still comes once,
// in order, whatever the number of chunks and however the last one is cut.
TEST(ObjWriterTest, LongBlocksComeOutInOrder) {
    for (const std::size_t count : {std::size_t{8192}, std::size_t{8193}, std::size_t{16384},
                                    std::size_t{5 * 8192 + 17}, std::size_t{6 * 8192}}) {
        RefinedMesh mesh;
        mesh.positions = {{0, 0, 0}};
        mesh.textured = true;
        std::string expected = "v 0 0 0\n";
        for (std::size_t i = 0; i < count; ++i) {
            mesh.uvs.push_back({float(i), 0.5f});
            expected += "vt " + std::to_string(i) + " 0.5\n";
        }
        for (std::size_t i = 0; i < count; ++i) {
            const auto t = static_cast<std::uint32_t>(i);
            mesh.positionCorners.insert(mesh.positionCorners.end(), {0, 0, 0, 0});
            mesh.textureCorners.insert(mesh.textureCorners.end(), {t, t, t, t});
            const std::string corner = " 1/" + std::to_string(i + 1);
            expected += "f" + corner + corner + corner + corner + "\n";
        }
        EXPECT_EQ(test::objText(mesh), expected) << count << " lines";
    }
}

struct Written {
    test::RunResult result;
    test::ObjFile obj;
};

Written refine(const std::string& input, int steps, const std::string& output) {
    Written w;
    w.result = test::runTool({std::to_string(steps), input, output});
    if (test::fileExists(output)) {
        w.obj = test::parseObj(test::readFile(output));
    }
    return w;
}

TEST(ObjWriterTest, ObjectsAndGroupsAreKeptAroundTheirFacets) {
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
    if (test::fileExists(test::kAssimp)) {
        const test::RunResult info = test::runProgram({test::kAssimp, "info", output});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find("Meshes:             3\n"), std::string::npos) << info.out;
    }
}

TEST(ObjWriterTest, MaterialLibrariesNameTheirFilesFromTheOutput) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("in"));
    std::filesystem::create_directories(dir.file("out/deeper"));
    for (const char* name : {"two_materials.obj", "two_materials.mtl"}) {
        std::filesystem::copy_file(test::dataFile(std::string("materials/") + name),
                                   dir.file(std::string("in/") + name));
    }
    const std::string output = dir.file("out/deeper/result.obj");
    const Written r = refine(dir.file("in/two_materials.obj"), 1, output);
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
    const Written beside = refine(dir.file("in/two_materials.obj"), 1, dir.file("in/result.obj"));
    EXPECT_EQ(beside.obj.mtllib, std::vector<std::string>{"two_materials.mtl"});

    // A library that no face uses is still named.
    test::writeFile(
        dir.file("in/library_only.obj"),
        "mtllib two_materials.mtl\n" + test::readFile(test::dataFile("single_quad.obj")));
    const Written libraryOnly =
        refine(dir.file("in/library_only.obj"), 1, dir.file("out/library_only.obj"));
    EXPECT_EQ(libraryOnly.result.status, 0);
    const std::string written = test::readFile(dir.file("out/library_only.obj"));
    EXPECT_EQ(written.find("mtllib ../in/two_materials.mtl\nv "), 0u);
    EXPECT_EQ(written.find("usemtl"), std::string::npos);
}

}  // namespace
