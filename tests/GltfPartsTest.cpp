// The parts of the glTF writer with logic of their own: the vertices of a refined
// primitive, and what is left of a document once the replaced geometry goes.

#include <gtest/gtest.h>

#include "GltfGeometry.h"
#include "GltfReferences.h"

using namespace faceloom;

TEST(GltfGeometryTest, AVertexPerPositionAndUvPair) {
    // Two quads side by side on z = 0, their shared edge a uv seam; the second quad's
    // texture names one uv (4) over two positions (1 and 2).
    RefinedMesh mesh;
    mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    mesh.uvs = {{0, 0}, {0.5f, 0}, {0.5f, 1}, {0, 1}, {0.6f, 0}, {1, 0}, {1, 1}, {0.6f, 1}};
    mesh.positionCorners = {0, 1, 2, 3, 1, 4, 5, 2};
    mesh.textureCorners = {0, 1, 2, 3, 4, 5, 6, 4};
    mesh.textured = true;
    const GltfGeometry g = gltfGeometry(mesh, positionNormals(mesh));
    ASSERT_EQ(g.positions.size(), 8u);
    ASSERT_EQ(g.uvs.size(), 8u);
    EXPECT_EQ(g.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));
    EXPECT_EQ(g.positions[7].y, 1.0f);
    EXPECT_EQ(g.uvs[7].x, 0.6f);
    // One quad alone: only its positions get vertices.
    const std::vector<std::uint32_t> second = {1};
    EXPECT_EQ(gltfGeometry(mesh, positionNormals(mesh), &second).positions.size(), 4u);
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
    // Accessors 0 and 1 were the replaced geometry's; 2 is an animation's still. View 1
    // goes with them; view 0 stays for the sparse values.
    EXPECT_EQ(removeUnreferenced(doc, {0, 1, 2}), (std::vector<std::size_t>{0, 2, 3, 4}));
    EXPECT_EQ(doc, nlohmann::ordered_json::parse(R"({
      "meshes": [{"primitives": [{"attributes": {"POSITION": 2}, "indices": 3}]}],
      "accessors": [{"bufferView": 1},
                    {"bufferView": 1, "sparse": {"indices": {"bufferView": 2}, "values": {"bufferView": 0}}},
                    {"bufferView": 3}, {"bufferView": 3}],
      "bufferViews": [{}, {}, {}, {}],
      "animations": [{"samplers": [{"input": 0, "output": 1}]}],
      "skins": [{"inverseBindMatrices": 1}],
      "images": [{"bufferView": 1}]})"));
}
