// The facet-by-facet comparison with a reference refinement: it must see through
// everything two correct refinements may differ in (facet order, vertex order, the
// corner a facet starts at) and nothing else.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/ReferenceComparison.h"

namespace {

// Two unit quads side by side, x from 0 to 2, uv = (x / 2, y).
const char* const kTwoQuads =
    "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1 1 0\nv 2 1 0\n"
    "vt 0 0\nvt 0.5 0\nvt 1 0\nvt 0 1\nvt 0.5 1\nvt 1 1\n"
    "f 1/1 2/2 5/5 4/4\nf 2/2 3/3 6/6 5/5\n";

TEST(ReferenceComparison, SeesThroughFacetVertexAndCornerOrder) {
    // Same quads: facets swapped, vertex lists reversed, the first facet starting at
    // another corner.
    const char* const shuffled =
        "v 2 1 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 1 0 0\nv 0 0 0\n"
        "vt 1 1\nvt 0.5 1\nvt 0 1\nvt 1 0\nvt 0.5 0\nvt 0 0\n"
        "f 4/4 1/1 2/2 5/5\nf 6/6 5/5 2/2 3/3\n";
    const test::ReferenceComparison c = test::compareWithReference(shuffled, kTwoQuads);
    EXPECT_TRUE(c.problems.empty()) << c.summary();
    EXPECT_EQ(c.facets, 2u);
    EXPECT_EQ(c.referenceFacets, 2u);
    EXPECT_EQ(c.unmatched, 0u);
    EXPECT_EQ(c.positionDeviation, 0.0);
    EXPECT_EQ(c.uvDeviation, 0.0);
}

TEST(ReferenceComparison, PairsCoincidingFacetsByTheirTexture) {
    // Two facets at the same place (front and back of a card) with different
    // texture coordinates, listed in opposite orders: each must find its own.
    const char* const reference =
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
        "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 2 0\nvt 3 0\nvt 3 1\nvt 2 1\n"
        "f 1/1 2/2 3/3 4/4\nf 1/5 2/6 3/7 4/8\n";
    const char* const ours =
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
        "vt 2 0\nvt 3 0\nvt 3 1\nvt 2 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
        "f 1/1 2/2 3/3 4/4\nf 1/5 2/6 3/7 4/8\n";
    const test::ReferenceComparison c = test::compareWithReference(ours, reference);
    EXPECT_EQ(c.unmatched, 0u) << c.summary();
    EXPECT_EQ(c.uvDeviation, 0.0) << c.summary();
}

TEST(ReferenceComparison, MeasuresDeviationsAgainstTheBoundingBox) {
    // One corner moved by 1e-4 in x and its uv by 1e-3 in u: the box diagonals
    // are sqrt(5) (positions) and sqrt(2) (uvs).
    const char* const moved =
        "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1.0001 1 0\nv 2 1 0\n"
        "vt 0 0\nvt 0.5 0\nvt 1 0\nvt 0 1\nvt 0.501 1\nvt 1 1\n"
        "f 1/1 2/2 5/5 4/4\nf 2/2 3/3 6/6 5/5\n";
    const test::ReferenceComparison c = test::compareWithReference(moved, kTwoQuads);
    EXPECT_EQ(c.unmatched, 0u) << c.summary();
    EXPECT_NEAR(c.positionDeviation, 1e-4 / std::sqrt(5.0), 1e-9);
    EXPECT_NEAR(c.uvDeviation, 1e-3 / std::sqrt(2.0), 1e-9);
}

TEST(ReferenceComparison, CountsFacetsWithoutPartnerOnBothSides) {
    // The second quad turned inside out (its corners in the other cyclic order)
    // and a third quad the reference lacks.
    const char* const ours =
        "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1 1 0\nv 2 1 0\nv 3 0 0\nv 3 1 0\n"
        "vt 0 0\nvt 0.5 0\nvt 1 0\nvt 0 1\nvt 0.5 1\nvt 1 1\n"
        "f 1/1 2/2 5/5 4/4\nf 2/2 5/5 6/6 3/3\nf 3/3 7/3 8/6 6/6\n";
    const test::ReferenceComparison c = test::compareWithReference(ours, kTwoQuads);
    EXPECT_EQ(c.facets, 3u);
    EXPECT_EQ(c.unmatched, 3u) << c.summary();
}

TEST(ReferenceComparison, ReportsTextureOnOneSideOnly) {
    const char* const plain =
        "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1 1 0\nv 2 1 0\n"
        "f 1 2 5 4\nf 2 3 6 5\n";
    EXPECT_FALSE(test::compareWithReference(plain, kTwoQuads).problems.empty());
    EXPECT_TRUE(test::compareWithReference(plain, plain).problems.empty());
}

// Normals are compared by the angle between paired corners' normals; a corner without
// a direction (a zero normal) against one with a direction is a half turn off.
TEST(ReferenceComparison, MeasuresNormalsByAngle) {
    const std::string quad = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    const std::string faces = "f 1//1 2//1 3//1 4//2\n";
    const std::string reference = quad + "vn 0 0 1\nvn 0 0 1\n" + faces;
    const std::string tilted = quad + "vn 0 0 1\nvn 0 0.001 1\n" + faces;
    const test::ReferenceComparison c = test::compareWithReference(tilted, reference);
    EXPECT_TRUE(c.problems.empty()) << c.summary();
    EXPECT_NEAR(c.normalDeviation, std::atan(0.001), 1e-12);
    const std::string none = quad + "vn 0 0 1\nvn 0 0 0\n" + faces;
    EXPECT_NEAR(test::compareWithReference(none, reference).normalDeviation, std::acos(-1.0),
                1e-12);
    const std::string plain = quad + "f 1 2 3 4\n";
    EXPECT_FALSE(test::compareWithReference(plain, reference).problems.empty());
}

// Six significant digits, as the tool writes numbers, round 1.23457 from anything
// within 5e-6 of it: only what lies beyond counts.
TEST(ReferenceComparison, TakesSixDigitNumbersBeyondTheirRounding) {
    const std::string reference = "v 0 0 0\nv 1.2345749 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    const std::string rounded = "v 0 0 0\nv 1.23457 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    EXPECT_GT(test::compareWithReference(rounded, reference).positionDeviation, 1e-7);
    EXPECT_EQ(test::compareWithReference(rounded, reference, true).positionDeviation, 0.0);
    const std::string off = "v 0 0 0\nv 1.23459 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    EXPECT_NEAR(test::compareWithReference(off, reference, true).positionDeviation,
                (1.23459 - 1.2345749 - 5e-6) / std::sqrt(1.2345749 * 1.2345749 + 1), 1e-9);
}

}  // namespace
