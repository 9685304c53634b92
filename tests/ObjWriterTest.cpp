// The OBJ writer: numbers exactly as a default C++ stream writes them, long blocks in
// order, and every refined facet under the object, group and material of its face,
// grouped in the order they are first used, the material libraries named from where
// the output is.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <tuple>

#include "IndexTexts.h"
#include "MergedObjWriter.h"
#include "support/ObjFile.h"
#include "support/StringSink.h"
#include "support/TestSupport.h"
#include "support/TextureContinuity.h"

using namespace faceloom;

namespace {

TEST(ObjWriterTest, NumbersAreWrittenAsAStreamWritesThem) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> values = {
        0.0f,   -0.0f,     1.0f,         2.0f, 0.5f,       0.1234567f, 1e-4f,  9.99999e-5f,
        1e-5f,  999999.0f, 999999.5f,    1e6f, 1234567.0f, 3e38f,      1e-38f, 1e-45f,
        -7.25f, 100000.0f, 0.000123456f, inf,  -inf,       nan,        -nan};
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
    std::ostringstream expected;
    for (std::size_t i = 0; i + 3 <= values.size(); i += 3) {
        mesh.positions.push_back({values[i], values[i + 1], values[i + 2]});
        expected << "v " << double(values[i]) << ' ' << double(values[i + 1]) << ' '
                 << double(values[i + 2]) << '\n';
    }
    EXPECT_EQ(test::objText(mesh), expected.str());
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
    for (const std::size_t count : {8192u, 8193u, 2 * 8192u + 5, 5 * 8192u + 17}) {
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

// The "mtllib" lines come first and name the libraries from where the output is, even
// one no face uses; beside the input they stay as they were.
TEST(ObjWriterTest, MaterialLibrariesNameTheirFilesFromTheOutput) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("in"));
    std::filesystem::create_directories(dir.file("out/deeper"));
    for (const char* name : {"two_materials.obj", "two_materials.mtl"}) {
        std::filesystem::copy_file(test::dataFile(std::string("materials/") + name),
                                   dir.file(std::string("in/") + name));
    }
    test::writeFile(
        dir.file("in/library_only.obj"),
        "mtllib two_materials.mtl\n" + test::readFile(test::dataFile("single_quad.obj")));
    const std::vector<std::array<std::string, 3>> cases = {
        {"in/two_materials.obj", "out/deeper/result.obj", "../../in/two_materials.mtl"},
        {"in/two_materials.obj", "in/result.obj", "two_materials.mtl"},
        {"in/library_only.obj", "out/library_only.obj", "../in/two_materials.mtl"},
    };
    for (const auto& [input, output, library] : cases) {
        const test::RunResult r = test::runTool({"1", dir.file(input), dir.file(output)});
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string text = test::readFile(dir.file(output));
        EXPECT_EQ(text.rfind("mtllib " + library + "\nv ", 0), 0u) << output;
        EXPECT_EQ(test::parseObj(text).mtllib, std::vector<std::string>{library});
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir.file(output)).parent_path() /
                                            library));
    }
    EXPECT_EQ(test::readFile(dir.file("out/library_only.obj")).find("usemtl"), std::string::npos);

    // The face without material first, then red (faces 2 and 4), then the other.
    const test::ObjFile obj = test::parseObj(test::readFile(dir.file("out/deeper/result.obj")));
    ASSERT_TRUE(obj.wellFormed()) << obj.problems.front();
    const std::string blue = "bl\xe9u";
    EXPECT_EQ(obj.facetMaterial,
              (std::vector<std::string>{"", "", "", "", "red", "red", "red", "red", "red", "red",
                                        "red", "red", blue, blue, blue, blue}));
    EXPECT_TRUE(test::textureContinuityProblems(obj).empty());
}

}  // namespace
