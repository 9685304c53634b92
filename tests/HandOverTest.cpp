// The direct hand-over from the refined surfaces to the writer must give exactly the
// bytes of the printed-text path it replaced, and the writer's number format exactly
// that of a default C++ stream.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

#include "builders/PlaneBuilder.h"
#include "builders/TriQuadBuilder.h"
#include "output/MergedObjWriter.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "support/PrintedSurfaces.h"
#include "support/RecordedDiagnostics.h"
#include "support/StringSink.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

std::string write(const RefinedMesh& mesh) {
    StringSink sink;
    EXPECT_TRUE(writeMergedObj(mesh, sink));
    return sink.text;
}

TEST(HandOverTest, SameBytesAsThroughThePrinter) {
    for (const char* name :
         {"cube_cross_layout.obj", "grid_with_seam.obj", "pentagon.obj", "single_triangle.obj",
          "unused_position.obj", "tiny_and_huge_coordinates.obj"}) {
        for (int steps = 1; steps <= 3; ++steps) {
            const ObjMesh mesh = test::loadMesh(test::dataFile(name));
            test::RecordedDiagnostics diagnostics;
            Polyhedron positions, texture;
            TriQuadBuilder<HDS> positionBuilder(&mesh, diagnostics);
            PlaneBuilder<HDS> textureBuilder(&mesh, diagnostics);
            positions.delegate(positionBuilder);
            texture.delegate(textureBuilder);
            ASSERT_TRUE(positionBuilder.succeeded() && textureBuilder.succeeded()) << name;
            FacetLineage positionLineage(positions, mesh, FacetLineage::Side::kPositions);
            FacetLineage textureLineage(texture, mesh, FacetLineage::Side::kTexture);
            refineSurface(positions, positionLineage, steps, RefinementRules{});
            refineSurface(texture, textureLineage, steps, RefinementRules{});
            const FacetPairing pairing(positionLineage);

            const std::string reference = write(
                test::readPrintedSurfaces(test::printSurface(positions),
                                          test::printSurface(texture), textureLineage, pairing));
            RefinedMesh direct;
            takePositions(positions, &positionLineage, direct);
            ASSERT_TRUE(takeTexture(texture, textureLineage, pairing, direct));
            EXPECT_EQ(write(direct), reference) << name << ", " << steps << " steps";

            // Without texture coordinates, with the corners taken from the lineage (as
            // above) or read by a walk of their own.
            const std::string geometry = write(test::readPrintedSurfaces(
                test::printSurface(positions), "", textureLineage, pairing));
            direct.textured = false;
            EXPECT_EQ(write(direct), geometry);
            RefinedMesh fromWalk;
            takePositions(positions, nullptr, fromWalk);
            EXPECT_EQ(write(fromWalk), geometry);
        }
    }
}

std::string streamed(float x, float y, float z) {
    std::ostringstream line;
    line << "v " << double(x) << ' ' << double(y) << ' ' << double(z) << '\n';
    return line.str();
}

TEST(HandOverTest, NumbersAreWrittenAsAStreamWritesThem) {
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
    EXPECT_EQ(write(mesh), expected);
}

}  // namespace
