// The writer: numbers exactly as a default C++ stream writes them, and facets grouped
// by material in the order the materials are first used.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

#include "MergedObjWriter.h"
#include "support/StringSink.h"

using namespace faceloom;

namespace {

std::string streamed(float x, float y, float z) {
    std::ostringstream line;
    line << "v " << double(x) << ' ' << double(y) << ' ' << double(z) << '\n';
    return line.str();
}

TEST(MergedObjWriterTest, NumbersAreWrittenAsAStreamWritesThem) {
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
TEST(MergedObjWriterTest, MaterialGroupsComeInOrderOfFirstUse) {
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

// Long blocks are formatted in chunks on two threads: every line still comes once,
// in order, whatever the number of chunks and however the last one is cut.
TEST(MergedObjWriterTest, LongBlocksComeOutInOrder) {
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

}  // namespace
