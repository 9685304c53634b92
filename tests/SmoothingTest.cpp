// The smoothing modes and the limit: Faceloom's refinement against OpenSubdiv's, run on
// the same files (positions must follow the Catmark scheme with smooth boundaries,
// texture coordinates its face-varying refinement, in every mode Faceloom offers; limit
// points and normals its limit masks; Simple subdivision its bilinear scheme).

#include <gtest/gtest.h>

#include <cctype>
#include <initializer_list>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/ReferenceComparison.h"
#include "support/TestSupport.h"

namespace {

struct Shape {
    const char* file;  // under tests/data
    // What the reference refines instead, when Faceloom repairs the file first: the
    // reference does no repairs.
    const char* referenceFile = nullptr;
};

const Shape kShapes[] = {
    {"../../examples/textured_cube.obj"},
    {"cube_without_texture.obj"},
    {"grid_with_seam.obj"},
    {"open_grid_one_island.obj"},
    {"l_shaped_patch.obj"},
    {"open_cylinder_with_seam.obj"},
    {"torus_two_seams.obj"},
    {"mixed_polygons.obj"},
    {"pentagon.obj"},
    {"fans_of_valence_3_5_6.obj"},
    {"border_fans_of_three_to_six_faces.obj"},
    {"three_islands_meet_at_a_vertex.obj"},
    {"l_shaped_island_in_grid.obj"},
    {"mirrored_texture_strip.obj"},
    {"double_sided_card.obj"},
    {"islands_touching_at_one_corner.obj"},
    {"mirrored_quads_sharing_texture.obj"},
    {"bow_tie.obj", "bow_tie_split.obj"},
    {"triangles_meeting_at_a_point.obj", "triangles_meeting_at_a_point_split.obj"},
};

// The smoothing modes, given to Faceloom and the reference alike.
const std::vector<std::string> kModes[] = {
    {},
    {"--uv-smooth=none"},
    {"--uv-smooth=keep-corners"},
    {"--uv-smooth=keep-corners-junctions"},
    {"--uv-smooth=keep-corners-junctions-concave"},
    {"--uv-smooth=keep-boundaries"},
    {"--boundary-smooth=keep-corners"},
    {"--uv-smooth=none", "--boundary-smooth=keep-corners"},
    {"--uv-smooth=keep-corners", "--boundary-smooth=keep-corners"},
    {"--uv-smooth=keep-corners-junctions", "--boundary-smooth=keep-corners"},
    {"--uv-smooth=keep-corners-junctions-concave", "--boundary-smooth=keep-corners"},
    {"--uv-smooth=keep-boundaries", "--boundary-smooth=keep-corners"},
};

// What is taken from the limit surface, on top of a mode. Normals are compared by
// angle whenever both files have them.
const std::vector<std::string> kLimits[] = {
    {"--limit-surface", "--normals"},
    {"--normals"},
};

// Simple subdivision, with modes that change nothing under it. (Its normals are the
// facets' and are checked elsewhere: a bilinear surface has no tangent plane at its
// vertices, and the reference's pick of one face there follows its own face order.)
const std::vector<std::string> kSimple[] = {
    {"--scheme=simple"},
    {"--scheme=simple", "--limit-surface"},
    {"--scheme=simple", "--uv-smooth=keep-boundaries", "--boundary-smooth=keep-corners"},
};

// Deviations allowed, of the bounding box diagonal. Simple subdivision is exact
// arithmetic on both sides, so its deviation is taken beyond the rounding of the six
// digits the tool writes.
constexpr double kTolerance = 1e-5;
constexpr double kSimpleTolerance = 1e-6;

void PrintTo(const Shape& shape, std::ostream* os) {
    *os << shape.file;
}

// Runs every step count of `steps`, expecting agreement.
void checkSteps(const Shape& shape, const std::vector<std::vector<std::string>>& optionLists,
                std::initializer_list<int> steps, double tolerance = kTolerance) {
    for (int s : steps) {
        SCOPED_TRACE(std::to_string(s) + " steps");
        std::vector<std::string> args;
        for (const auto& options : optionLists) {
            args.insert(args.end(), options.begin(), options.end());
        }
        args.push_back(std::to_string(s));
        test::expectAgreement(
            test::compareRuns(args, test::dataFile(shape.file),
                              shape.referenceFile ? test::dataFile(shape.referenceFile) : "",
                              tolerance == kSimpleTolerance),
            tolerance);
    }
}

using Case = std::tuple<Shape, std::vector<std::string>>;
using LimitCase = std::tuple<Shape, std::vector<std::string>, std::vector<std::string>>;

class AgreesWithReference : public testing::TestWithParam<Case> {};
class LimitAgreesWithReference : public testing::TestWithParam<LimitCase> {};
class SimpleAgreesWithReference : public testing::TestWithParam<Case> {};

TEST_P(AgreesWithReference, FacetByFacet) {
    checkSteps(std::get<0>(GetParam()), {std::get<1>(GetParam())}, {1, 2, 3});
}

TEST_P(LimitAgreesWithReference, FacetByFacet) {
    const auto& [shape, mode, limit] = GetParam();
    checkSteps(shape, {mode, limit}, {1, 2});
}

TEST_P(SimpleAgreesWithReference, FacetByFacet) {
    checkSteps(std::get<0>(GetParam()), {std::get<1>(GetParam())}, {1, 2}, kSimpleTolerance);
}

// A real exporter gives all unmapped corners one coordinate, `vt 0 0`: here a
// 175 x 175 grid whose first row is mapped and whose 30,450 other faces all name
// coordinate 1. Each of its positions is a layout vertex of its own, so it refines
// like any other mesh.
TEST(UnmappedPartsAgreeWithReference, ThousandsOfFacesNamingOneCoordinate) {
    constexpr int n = 175;
    std::string text = "vt 0 0\n";
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            text += "v " + std::to_string(i) + " " + std::to_string(j) + " 0\n";
            text += j < 2 ? "vt " + std::to_string(i / double(n)) + " " + std::to_string(j) + "\n"
                          : "";
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            text += "f";
            for (const auto& [a, b] : {std::pair{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}}) {
                const int position = b * (n + 1) + a + 1;
                text += " " + std::to_string(position) + "/" +
                        (j == 0 ? std::to_string(position + 1) : "1");
            }
            text += "\n";
        }
    }
    const test::TempDir dir;
    test::writeFile(dir.file("grid.obj"), text);
    test::expectAgreement(test::compareRuns({"1"}, dir.file("grid.obj")));
    // Its 123,201 refined vertices are enough for the limit to be taken on two threads.
    test::expectAgreement(
        test::compareRuns({"--limit-surface", "--normals", "1"}, dir.file("grid.obj")));
}

// Test names: the shape's file name, then the options, each character that can't be
// in a name as '_'.
template <class Param>
std::string caseName(const testing::TestParamInfo<Param>& info) {
    std::string name = std::get<0>(info.param).file;
    name = name.substr(name.rfind('/') + 1);
    name.resize(name.size() - 4);  // ".obj"
    std::apply([&](const auto&, const auto&... optionLists) {
        for (const auto& options : {optionLists...}) {
            for (const std::string& option : options) {
                name += "_" + option.substr(2);
            }
        }
    }, info.param);
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shapes, AgreesWithReference,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kModes)),
                         caseName<Case>);
INSTANTIATE_TEST_SUITE_P(Shapes, LimitAgreesWithReference,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kModes),
                                          testing::ValuesIn(kLimits)),
                         caseName<LimitCase>);
INSTANTIATE_TEST_SUITE_P(Shapes, SimpleAgreesWithReference,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kSimple)),
                         caseName<Case>);

}  // namespace
