// The smoothing modes and the limit: Faceloom's refinement against OpenSubdiv's, run on
// the same files (positions must follow the Catmark scheme with smooth boundaries,
// texture coordinates its face-varying refinement, in every mode Faceloom offers; limit
// points and normals its limit masks; Simple subdivision its bilinear scheme), and what
// keeping the islands' borders promises a painted texture.

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <initializer_list>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/ObjFile.h"
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

// Deviations allowed: of the bounding box diagonal, and for normals in radians. Simple
// subdivision is exact arithmetic on both sides, so its deviation is taken beyond
// the rounding of the six digits the tool writes.
constexpr double kTolerance = 1e-5;
constexpr double kSimpleTolerance = 1e-6;
constexpr double kNormalTolerance = 1e-4;

void PrintTo(const Shape& shape, std::ostream* os) {
    *os << shape.file;
}

// Refines `input` by Faceloom and `referenceInput` by the reference with the same
// arguments and compares the two files facet by facet.
test::ReferenceComparison compareRun(const std::string& input, const std::string& referenceInput,
                                     const std::vector<std::string>& options, int steps,
                                     bool sixDigits) {
    const test::TempDir dir;
    const std::string ours = dir.file("ours.obj"), reference = dir.file("reference.obj");
    std::vector<std::string> args = options;
    args.insert(args.end(), {std::to_string(steps), input, ours});
    const test::RunResult run = test::runTool(args);
    EXPECT_EQ(run.status, 0) << run.out << run.err;

    std::vector<std::string> referenceArgv{FACELOOM_OSD_REFERENCE};
    referenceArgv.insert(referenceArgv.end(), args.begin(), args.end());
    referenceArgv.end()[-2] = referenceInput;
    referenceArgv.back() = reference;
    const test::RunResult referenceRun = test::runProgram(referenceArgv);
    EXPECT_EQ(referenceRun.status, 0) << referenceRun.err;
    if (run.status != 0 || referenceRun.status != 0) {
        test::ReferenceComparison failed;
        failed.problems.push_back("a run failed");
        return failed;
    }
    return test::compareWithReference(test::readFile(ours), test::readFile(reference),
                                      sixDigits);
}

void expectAgreement(const test::ReferenceComparison& c, double tolerance) {
    EXPECT_TRUE(c.problems.empty()) << c.summary();
    EXPECT_EQ(c.facets, c.referenceFacets) << c.summary();
    EXPECT_EQ(c.unmatched, 0u) << c.summary();
    EXPECT_LE(c.positionDeviation, tolerance) << c.summary();
    EXPECT_LE(c.uvDeviation, tolerance) << c.summary();
    EXPECT_LE(c.normalDeviation, kNormalTolerance) << c.summary();
}

// Runs every step count of `steps`, expecting agreement.
void checkSteps(const Shape& shape, const std::vector<std::string>& options,
                std::initializer_list<int> steps, double tolerance) {
    for (int s : steps) {
        SCOPED_TRACE(std::to_string(s) + " steps");
        const std::string input = test::dataFile(shape.file);
        const std::string referenceInput =
            shape.referenceFile != nullptr ? test::dataFile(shape.referenceFile) : input;
        expectAgreement(compareRun(input, referenceInput, options, s, tolerance == kSimpleTolerance),
                        tolerance);
    }
}

using Case = std::tuple<Shape, std::vector<std::string>>;
using LimitCase = std::tuple<Shape, std::vector<std::string>, std::vector<std::string>>;

class AgreesWithReference : public testing::TestWithParam<Case> {};
class LimitAgreesWithReference : public testing::TestWithParam<LimitCase> {};
class SimpleAgreesWithReference : public testing::TestWithParam<Case> {};

TEST_P(AgreesWithReference, FacetByFacet) {
    const auto& [shape, options] = GetParam();
    checkSteps(shape, options, {1, 2, 3}, kTolerance);
}

TEST_P(LimitAgreesWithReference, FacetByFacet) {
    const auto& [shape, mode, limit] = GetParam();
    std::vector<std::string> options = mode;
    options.insert(options.end(), limit.begin(), limit.end());
    checkSteps(shape, options, {1, 2}, kTolerance);
}

TEST_P(SimpleAgreesWithReference, FacetByFacet) {
    const auto& [shape, options] = GetParam();
    checkSteps(shape, options, {1, 2}, kSimpleTolerance);
}

// A real exporter gives all unmapped corners one coordinate, `vt 0 0`: here a
// 175 x 175 grid whose first row is mapped and whose 30,450 other faces all name
// coordinate 1. Each of its positions is a layout vertex of its own, so it refines
// like any other mesh.
TEST(UnmappedPartsAgreeWithReference, ThousandsOfFacesNamingOneCoordinate) {
    constexpr int n = 175;
    const auto position = [](int i, int j) { return std::to_string(j * (n + 1) + i + 1); };
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
                const std::string mapped = std::to_string(b * (n + 1) + a + 2);
                text += " " + position(a, b) + "/" + (j == 0 ? mapped : "1");
            }
            text += "\n";
        }
    }
    const test::TempDir dir;
    test::writeFile(dir.file("grid.obj"), text);
    expectAgreement(compareRun(dir.file("grid.obj"), dir.file("grid.obj"), {}, 1, false),
                    kTolerance);
}

std::string nameOf(const Shape& shape, const std::vector<std::vector<std::string>>& optionLists) {
    std::string name = shape.file;
    name = name.substr(name.rfind('/') + 1);
    name.resize(name.size() - 4);  // ".obj"
    for (const auto& options : optionLists) {
        for (const std::string& option : options) {
            name += "_" + option.substr(2);
        }
    }
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    return nameOf(std::get<0>(info.param), {std::get<1>(info.param)});
}

std::string limitCaseName(const testing::TestParamInfo<LimitCase>& info) {
    return nameOf(std::get<0>(info.param), {std::get<1>(info.param), std::get<2>(info.param)});
}

INSTANTIATE_TEST_SUITE_P(Shapes, AgreesWithReference,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kModes)),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Shapes, LimitAgreesWithReference,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kModes),
                                          testing::ValuesIn(kLimits)),
                         limitCaseName);
INSTANTIATE_TEST_SUITE_P(Shapes, SimpleAgreesWithReference,
                         testing::Combine(testing::ValuesIn(kShapes), testing::ValuesIn(kSimple)),
                         caseName);

using Polygon = std::vector<std::array<double, 2>>;

// True when `point` lies inside `polygon` or on its border (up to `slack`).
bool covers(const Polygon& polygon, const std::array<double, 2>& point, double slack) {
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const auto& a = polygon[i];
        const auto& b = polygon[j];
        // On the border: the distance to segment ab is within the slack.
        const double dx = b[0] - a[0], dy = b[1] - a[1];
        const double length2 = dx * dx + dy * dy;
        double t = length2 > 0 ? ((point[0] - a[0]) * dx + (point[1] - a[1]) * dy) / length2 : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const double ex = a[0] + t * dx - point[0], ey = a[1] + t * dy - point[1];
        if (ex * ex + ey * ey <= slack * slack) {
            return true;
        }
        if ((a[1] > point[1]) != (b[1] > point[1]) &&
            point[0] < (b[0] - a[0]) * (point[1] - a[1]) / (b[1] - a[1]) + a[0]) {
            inside = !inside;
        }
    }
    return inside;
}

test::ObjFile refine(const std::vector<std::string>& args, const std::string& output) {
    const test::RunResult r = test::runTool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return test::parseObj(test::readFile(output));
}

// Painted inside the cross and another colour outside: with the island borders kept,
// no refined facet may take its texture from outside the painted islands. Smoothing
// everything pulls the cross's corners in and pushes its concave corners out.
TEST(SmoothingTest, KeepBoundariesSamplesNothingOutsideTheIslands) {
    const test::ObjFile input =
        test::parseObj(test::readFile(test::cubeFile()));
    std::vector<Polygon> islands;
    for (const auto& face : input.f) {
        Polygon polygon;
        for (const auto& corner : face) {
            polygon.push_back(input.vt[corner.t - 1]);
        }
        islands.push_back(polygon);
    }
    const auto outside = [&](const test::ObjFile& refined) {
        std::size_t count = 0;
        for (const auto& facet : refined.f) {
            std::array<double, 2> centre{0, 0};
            for (const auto& corner : facet) {
                centre[0] += refined.vt[corner.t - 1][0] / facet.size();
                centre[1] += refined.vt[corner.t - 1][1] / facet.size();
            }
            bool covered = false;
            for (const Polygon& island : islands) {
                covered = covered || covers(island, centre, 1e-6);
            }
            count += !covered;
        }
        return count;
    };
    test::TempDir dir;
    const std::string input_ = test::cubeFile(), out = dir.file("out.obj");
    const test::ObjFile kept = refine({"--uv-smooth=keep-boundaries", "4", input_, out}, out);
    ASSERT_EQ(kept.f.size(), 6u * 256u);
    ASSERT_EQ(kept.vt.empty(), false);
    EXPECT_EQ(outside(kept), 0u);
    // Every corner uv stays inside too: the borders are the input's polylines.
    for (const auto& uv : kept.vt) {
        bool covered = false;
        for (const Polygon& island : islands) {
            covered = covered || covers(island, uv, 1e-6);
        }
        EXPECT_TRUE(covered) << uv[0] << " " << uv[1];
    }
    const test::ObjFile smoothed = refine({"4", input_, out}, out);
    ASSERT_EQ(smoothed.vt.empty(), false);
    EXPECT_GT(outside(smoothed), 0u);
}

}  // namespace
