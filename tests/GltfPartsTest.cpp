// The parts of the glTF writer with logic of their own: the vertices of a refined
// primitive, and what is left of a document once the replaced geometry goes.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "GltfGeometry.h"
#include "GltfReferences.h"

using namespace faceloom;

namespace {

// Two quads side by side on z = 0, their shared edge a uv seam; the second quad's
// texture names one uv over two positions.
RefinedMesh twoQuads() {
    RefinedMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    mesh.uvs = {{0, 0}, {0.5f, 0}, {0.5f, 1}, {0, 1}, {0.6f, 0}, {1, 0}, {1, 1}, {0.6f, 1}};
    mesh.positionCorners = {0, 1, 2, 3, 1, 4, 5, 2};
    mesh.textureCorners = {0, 1, 2, 3, 4, 5, 6, 4};
    mesh.textured = true;
    return mesh;
}

}  // namespace

TEST(GltfGeometryTest, AVertexPerPositionAndUvPair) {
    const RefinedMesh mesh = twoQuads();
    const GltfGeometry g = gltfGeometry(mesh, positionNormals(mesh));
    // 4 + 4 on the seam's two sides, and uv 4 over positions 1 and 2 counts twice.
    ASSERT_EQ(g.positions.size(), 8u);
    ASSERT_EQ(g.uvs.size(), 8u);
    EXPECT_EQ(g.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));
    EXPECT_EQ(g.positions[4].x, 1.0f);
    EXPECT_EQ(g.positions[7].y, 1.0f);
    EXPECT_EQ(g.uvs[7].x, 0.6f);
    for (const auto& n : g.normals) {
        EXPECT_EQ(n.z, 1.0f);  // the quads face +z
    }
    EXPECT_EQ(g.max.x, 2.0f);
    EXPECT_EQ(g.min.y, 0.0f);
    // One quad alone: only its positions get vertices.
    const std::vector<std::uint32_t> second = {1};
    EXPECT_EQ(gltfGeometry(mesh, positionNormals(mesh), &second).positions.size(), 4u);
}

TEST(GltfGeometryTest, NormalsFollowTheSurfaceAroundAFold) {
    RefinedMesh mesh;
    // A quad on z = 0 and one folded up along x = 1 onto x = 1 ... 1, z = 0 ... 1.
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 1}, {1, 1, 1}};
    mesh.positionCorners = {0, 1, 2, 3, 1, 4, 5, 2};
    const std::vector<Point3f> normals = positionNormals(mesh);
    EXPECT_EQ(normals[0].z, 1.0f);
    EXPECT_NEAR(normals[1].x, -std::sqrt(0.5f), 1e-6);
    EXPECT_NEAR(normals[1].z, std::sqrt(0.5f), 1e-6);
    EXPECT_NEAR(normals[4].x, -1.0f, 1e-6);
}

TEST(GltfReferencesTest, RemovedAccessorsAndViewsAreRenumberedEverywhere) {
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(R"({
      "meshes": [{"primitives": [{"attributes": {"POSITION": 4}, "indices": 5}]}],
      "accessors": [{"bufferView": 0}, {"bufferView": 1}, {"bufferView": 2},
                    {"bufferView": 2, "sparse": {"indices": {"bufferView": 3}, "values": {"bufferView": 0}}},
                    {"bufferView": 4}, {"bufferView": 4}],
      "bufferViews": [{}, {}, {}, {}, {}],
      "animations": [{"samplers": [{"input": 2, "output": 3}]}],
      "skins": [{"inverseBindMatrices": 3}],
      "images": [{"bufferView": 2}]})");
    // Accessors 0 and 1 were the replaced geometry's; 2 is an animation's still.
    const std::vector<std::size_t> oldViews = removeUnreferenced(doc, {0, 1, 2});
    EXPECT_EQ(doc["accessors"].size(), 4u);
    EXPECT_EQ(doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"], 2);
    EXPECT_EQ(doc["meshes"][0]["primitives"][0]["indices"], 3);
    EXPECT_EQ(doc["animations"][0]["samplers"][0]["input"], 0);
    EXPECT_EQ(doc["animations"][0]["samplers"][0]["output"], 1);
    EXPECT_EQ(doc["skins"][0]["inverseBindMatrices"], 1);
    // View 1 went with its accessors; view 0 stays for the sparse values.
    EXPECT_EQ(oldViews, (std::vector<std::size_t>{0, 2, 3, 4}));
    EXPECT_EQ(doc["accessors"][1]["sparse"]["indices"]["bufferView"], 2);
    EXPECT_EQ(doc["accessors"][1]["sparse"]["values"]["bufferView"], 0);
    EXPECT_EQ(doc["accessors"][1]["bufferView"], 1);
    EXPECT_EQ(doc["accessors"][2]["bufferView"], 3);
    EXPECT_EQ(doc["images"][0]["bufferView"], 1);
}
