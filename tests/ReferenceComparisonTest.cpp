// The facet-by-facet comparison with a reference refinement, which the smoothing tests
// rest on: it must see through everything two correct refinements may differ in (facet
// order, vertex order, the corner a facet starts at) and nothing else.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/ReferenceComparison.h"

namespace {

// Two unit quads side by side, x from 0 to 2, uv = (x / 2, y).
const std::string kQuads = "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1 1 0\nv 2 1 0\n";
const std::string kUvs = "vt 0 0\nvt 0.5 0\nvt 1 0\nvt 0 1\nvt 0.5 1\nvt 1 1\n";
const std::string kTwoQuads = kQuads + kUvs + "f 1/1 2/2 5/5 4/4\nf 2/2 3/3 6/6 5/5\n";

TEST(ReferenceComparison, SeesThroughFacetVertexAndCornerOrder) {
    // Facets swapped, vertex lists reversed, the first facet starting at another corner.
    const test::ReferenceComparison c = test::compareWithReference(
        "v 2 1 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 1 0 0\nv 0 0 0\n"
        "vt 1 1\nvt 0.5 1\nvt 0 1\nvt 1 0\nvt 0.5 0\nvt 0 0\n"
        "f 4/4 1/1 2/2 5/5\nf 6/6 5/5 2/2 3/3\n",
        kTwoQuads);
    EXPECT_TRUE(c.problems.empty() && c.facets == 2 && c.referenceFacets == 2) << c.summary();
    EXPECT_EQ(c.unmatched + c.positionDeviation + c.uvDeviation, 0.0) << c.summary();
    // Front and back of a card at one place, told apart by their texture.
    const std::string card = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    const std::string front = "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    const std::string back = "vt 2 0\nvt 3 0\nvt 3 1\nvt 2 1\n";
    const std::string faces = "f 1/1 2/2 3/3 4/4\nf 1/5 2/6 3/7 4/8\n";
    const test::ReferenceComparison cards =
        test::compareWithReference(card + back + front + faces, card + front + back + faces);
    EXPECT_EQ(cards.unmatched + cards.uvDeviation, 0.0) << cards.summary();
}

// Each difference shows where it should: a moved corner as a deviation over the box
// diagonal (sqrt 5 for positions, sqrt 2 for uvs), a facet turned inside out or missing
// as unmatched on both sides, texture or normals on one side only as a problem.
TEST(ReferenceComparison, MeasuresEveryDifference) {
    const test::ReferenceComparison moved = test::compareWithReference(
        "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1.0001 1 0\nv 2 1 0\n"
        "vt 0 0\nvt 0.5 0\nvt 1 0\nvt 0 1\nvt 0.501 1\nvt 1 1\n"
        "f 1/1 2/2 5/5 4/4\nf 2/2 3/3 6/6 5/5\n",
        kTwoQuads);
    EXPECT_EQ(moved.unmatched, 0u) << moved.summary();
    EXPECT_NEAR(moved.positionDeviation, 1e-4 / std::sqrt(5.0), 1e-9);
    EXPECT_NEAR(moved.uvDeviation, 1e-3 / std::sqrt(2.0), 1e-9);

    const test::ReferenceComparison turned = test::compareWithReference(
        kQuads + "v 3 0 0\nv 3 1 0\n" + kUvs +
            "f 1/1 2/2 5/5 4/4\nf 2/2 5/5 6/6 3/3\nf 3/3 7/3 8/6 6/6\n",
        kTwoQuads);
    EXPECT_EQ(turned.facets, 3u);
    EXPECT_EQ(turned.unmatched, 3u) << turned.summary();

    const std::string plain = kQuads + "f 1 2 5 4\nf 2 3 6 5\n";
    EXPECT_FALSE(test::compareWithReference(plain, kTwoQuads).problems.empty());
    EXPECT_TRUE(test::compareWithReference(plain, plain).problems.empty());

    // Normals by the angle between paired corners'; none against one is a half turn.
    const std::string quad = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    const std::string normalFaces = "f 1//1 2//1 3//1 4//2\n";
    const std::string up = quad + "vn 0 0 1\nvn 0 0 1\n" + normalFaces;
    const test::ReferenceComparison tilted =
        test::compareWithReference(quad + "vn 0 0 1\nvn 0 0.001 1\n" + normalFaces, up);
    EXPECT_TRUE(tilted.problems.empty()) << tilted.summary();
    EXPECT_NEAR(tilted.normalDeviation, std::atan(0.001), 1e-12);
    EXPECT_NEAR(test::compareWithReference(quad + "vn 0 0 1\nvn 0 0 0\n" + normalFaces, up)
                    .normalDeviation,
                std::acos(-1.0), 1e-12);
    EXPECT_FALSE(test::compareWithReference(quad + "f 1 2 3 4\n", up).problems.empty());
}

// Six significant digits, as the tool writes numbers, round 1.23457 from anything
// within 5e-6 of it: only what lies beyond counts.
TEST(ReferenceComparison, TakesSixDigitNumbersBeyondTheirRounding) {
    const std::string rest = " 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    const std::string reference = "v 0 0 0\nv 1.2345749" + rest;
    const std::string rounded = "v 0 0 0\nv 1.23457" + rest;
    EXPECT_GT(test::compareWithReference(rounded, reference).positionDeviation, 1e-7);
    EXPECT_EQ(test::compareWithReference(rounded, reference, true).positionDeviation, 0.0);
    EXPECT_NEAR(test::compareWithReference("v 0 0 0\nv 1.23459" + rest, reference, true)
                    .positionDeviation,
                (1.23459 - 1.2345749 - 5e-6) / std::sqrt(1.2345749 * 1.2345749 + 1), 1e-9);
}

}  // namespace
