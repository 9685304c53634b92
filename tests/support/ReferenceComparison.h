#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace test {

// How far a refined OBJ file is from a reference refinement of the same mesh.
//
// Both files must consist of four-cornered facets. Facets are paired by where
// they are, not by their place in the file: the order of the facets, of the "v"
// and "vt" lines, and which corner a facet starts at may all differ. A facet
// pairs with the reference facet whose corners, in the same cyclic order, lie
// closest (and within a thousandth of the reference's bounding box); each
// reference facet pairs at most once, so coinciding facets (a double-sided card)
// pair one to one.
//
// Deviations are the largest distance between paired corners, over the diagonal of
// the reference's bounding box of positions (resp. texture coordinates); for normals,
// when both files have them, the largest angle between paired corners' normals.
struct ReferenceComparison {
    std::size_t facets = 0;           // facets in the file compared
    std::size_t referenceFacets = 0;  // facets in the reference
    std::size_t unmatched = 0;        // facets, of either file, left without a partner
    double positionDeviation = 0.0;
    double uvDeviation = 0.0;
    double normalDeviation = 0.0;       // radians
    std::vector<std::string> problems;  // malformed files, texture or normals on one side only

    // One line for test failure messages.
    std::string summary() const;
};

// `sixDigits`: the file's numbers are rounded to six significant digits, as the
// tool writes them; each coordinate's difference is taken beyond that rounding.
ReferenceComparison compareWithReference(const std::string& objText,
                                         const std::string& referenceText,
                                         bool sixDigits = false);

// Expects a comparison without problems, every facet paired, positions and texture
// within `tolerance` of the bounding boxes and normals within 1e-4 radians.
void expectAgreement(const ReferenceComparison& c, double tolerance = 1e-5);

#ifdef FACELOOM_OSD_REFERENCE
// Refines `input` by the tool and `referenceInput` (the input itself when empty) by
// the reference refinement, both given `args` (options, then the step count) before
// the input and output, and compares the two files. A run that fails fails the test.
ReferenceComparison compareRuns(const std::vector<std::string>& args, const std::string& input,
                                const std::string& referenceInput = "", bool sixDigits = false);
#endif

}  // namespace test
