// The limit surface, normals and Simple subdivision through the real binary: the form
// of the file they write, and what holds of a limit whatever the reference says: it is
// where further refinement goes. (That the limits and normals are OpenSubdiv's in every
// mode, and at every level they are read from, is SmoothingTest's; how the options are
// given and refused is CommandLineTest's.)

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ObjFile.h"
#include "support/TestSupport.h"

namespace {

using Point = std::array<double, 3>;

test::ObjFile refine(const std::vector<std::string>& options, int steps, const std::string& input,
                     const test::TempDir& dir) {
    std::vector<std::string> args = options;
    const std::string out = dir.file("out.obj");
    args.insert(args.end(), {std::to_string(steps), input, out});
    const test::RunResult run = test::runTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return test::parseObj(test::readFile(out));
}

double distance(const Point& a, const Point& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

double dot(const Point& a, const Point& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double angle(const Point& a, const Point& b) {
    const Point c{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return std::atan2(std::sqrt(dot(c, c)), dot(a, b));
}

// Normals come one per vertex, every corner naming its position's ("v/vt/vn", or
// "v//vn" without texture) as another reader (assimp) takes them; on a closed mesh
// they point out of it.
TEST(LimitOptionsTest, NormalsAreWrittenOnePerVertexAndPointOutOfAClosedMesh) {
    const test::TempDir dir;
    for (const std::string& input :
         {test::cubeFile(), test::dataFile("cube_without_texture.obj")}) {
        const test::ObjFile obj = refine({"--normals"}, 2, input, dir);
        ASSERT_TRUE(obj.wellFormed()) << obj.problems.front();
        ASSERT_EQ(obj.vn.size(), obj.v.size()) << input;
        for (const auto& facet : obj.f) {
            for (const auto& corner : facet) {
                EXPECT_EQ(corner.n, corner.p);
                EXPECT_EQ(corner.t != 0, !obj.vt.empty());
                // The cube is centred on the origin and wound outwards.
                const Point& n = obj.vn[corner.n - 1];
                EXPECT_GT(dot(n, obj.v[corner.p - 1]), 0.0);
                EXPECT_NEAR(dot(n, n), 1.0, 1e-5);
            }
        }
        const std::string text = test::readFile(dir.file("out.obj"));
        EXPECT_EQ(text.find("//") != std::string::npos, obj.vt.empty()) << input;
        if (test::fileExists(test::kAssimp)) {
            EXPECT_EQ(test::assimpProblem(dir.file("out.obj")), "") << input;
        }
    }
}

// A glTF node's transform moves the normals as it moves the surface, into an OBJ file:
// by its inverse transpose, still pointing out where it mirrors.
TEST(LimitOptionsTest, NormalsFollowTheGltfNodesTransform) {
    const test::TempDir dir;
    ASSERT_EQ(test::runTool({"1", test::cubeFile(), dir.file("cube.gltf")}).status, 0);
    nlohmann::json document = nlohmann::json::parse(test::readFile(dir.file("cube.gltf")));
    test::writeFile(dir.file("plain.gltf"), document.dump());
    const Point scale{-2.0, 1.0, 0.5};
    document["nodes"][0]["scale"] = scale;
    test::writeFile(dir.file("mirrored.gltf"), document.dump());
    const test::ObjFile plain = refine({"--normals"}, 1, dir.file("plain.gltf"), dir);
    const test::ObjFile mirrored = refine({"--normals"}, 1, dir.file("mirrored.gltf"), dir);
    ASSERT_TRUE(mirrored.wellFormed()) << mirrored.problems.front();
    ASSERT_EQ(mirrored.vn.size(), mirrored.v.size());
    ASSERT_EQ(plain.vn.size(), mirrored.vn.size());
    for (std::size_t i = 0; i < mirrored.v.size(); ++i) {
        std::size_t j = 0;
        while (j < plain.v.size() &&
               distance({scale[0] * plain.v[j][0], scale[1] * plain.v[j][1],
                         scale[2] * plain.v[j][2]},
                        mirrored.v[i]) > 1e-4) {
            ++j;
        }
        ASSERT_LT(j, plain.v.size()) << "no vertex of the plain cube lands on vertex " << i;
        const Point& n = plain.vn[j];
        EXPECT_LT(angle(mirrored.vn[i], {n[0] / scale[0], n[1] / scale[1], n[2] / scale[2]}), 1e-3)
            << "vertex " << i;
        EXPECT_GT(dot(mirrored.vn[i], mirrored.v[i]), 0.0) << "vertex " << i;
    }
}

// Where refinement goes: after six steps the input's vertices lie a few thousandths of
// their first step's move from the limit read off that first step. A pillow of two
// quads (every vertex inside and of two faces) too, where the usual masks vanish; its
// two sheets meet at those vertices back to back, with no normal ("vn 0 0 0").
TEST(LimitOptionsTest, TheLimitIsWhereRefinementGoes) {
    const test::TempDir dir;
    const std::string pillow = dir.file("pillow.obj");
    test::writeFile(pillow,
                    "v 0 0 0\nv 1 0 0.2\nv 1 1 0\nv 0 1 -0.1\nf 1 2 3 4\nf 4 3 2 1\n");
    for (const std::string& input :
         {test::cubeFile(), test::dataFile("open_grid_one_island.obj"),
          test::dataFile("pentagon.obj"), pillow}) {
        SCOPED_TRACE(input);
        const test::ObjFile source = test::parseObj(test::readFile(input));
        const test::ObjFile first = refine({}, 1, input, dir);
        const test::ObjFile limit = refine({"--limit-surface", "--normals"}, 1, input, dir);
        const test::ObjFile sixth = refine({}, 6, input, dir);
        for (std::size_t v = 0; v < source.v.size(); ++v) {
            const double move = distance(first.v[v], sixth.v[v]);
            EXPECT_LT(distance(limit.v[v], sixth.v[v]), 4e-3 * move + 1e-6) << "vertex " << v + 1;
            EXPECT_NEAR(dot(limit.vn[v], limit.vn[v]), input == pillow ? 0.0 : 1.0, 1e-5)
                << "vertex " << v + 1;
        }
    }
}

// Simple subdivision moves nothing: a box stays the box, its texture stays on its
// faces, and its normals are its facets' (their unit normals summed where faces of
// different sizes meet).
TEST(LimitOptionsTest, SimpleKeepsTheBoxAndItsFacetNormals) {
    const test::TempDir dir;
    // The cube stretched to twice its length in x.
    std::string box = test::readFile(test::cubeFile());
    for (std::size_t at = 0; (at = box.find("\nv -1 ", at)) != std::string::npos;) {
        box.replace(at, 6, "\nv -2 ");
    }
    for (std::size_t at = 0; (at = box.find("\nv 1 ", at)) != std::string::npos;) {
        box.replace(at, 5, "\nv 2 ");
    }
    test::writeFile(dir.file("box.obj"), box);
    const Point half{2, 1, 1};
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--scheme=simple", "--normals"},
          {"--scheme", "simple", "--normals", "--limit-surface", "--uv-smooth=all"}}) {
        const test::ObjFile obj = refine(options, 2, dir.file("box.obj"), dir);
        ASSERT_EQ(obj.v.size(), obj.vn.size());
        for (std::size_t v = 0; v < obj.v.size(); ++v) {
            // On the box's surface, and the normal the sum of the unit normals of the
            // box's faces it lies on.
            Point expected{};
            int faces = 0;
            for (int axis = 0; axis < 3; ++axis) {
                if (std::abs(std::abs(obj.v[v][axis]) - half[axis]) < 1e-6) {
                    expected[axis] = obj.v[v][axis] / half[axis];
                    ++faces;
                }
            }
            ASSERT_GE(faces, 1) << "vertex " << v + 1;
            for (int axis = 0; axis < 3; ++axis) {
                EXPECT_NEAR(obj.vn[v][axis], expected[axis] / std::sqrt(faces), 1e-5);
            }
        }
        for (const auto& uv : obj.vt) {  // on the cross's grid of quarters and thirds
            EXPECT_NEAR(uv[0] * 16, std::round(uv[0] * 16), 1e-4);
            EXPECT_NEAR(uv[1] * 12, std::round(uv[1] * 12), 1e-3);
        }
    }
}

}  // namespace
