#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "RefinedMesh.h"

namespace faceloom {

// A refined surface as one glTF triangle primitive: one vertex per distinct pair of a
// refined position and the texture coordinate over it (a position on a uv seam gets
// one vertex per side), each with the normal of its position, and two triangles per
// refined quad, (a, b, c) and (a, c, d), wound as the quad is.
//
// Held as arrays, or (for a whole refined mesh whose texture coordinates each lie over
// one position) as the refined mesh itself, its vertices the texture coordinates in
// their order: nothing is copied, and the writer takes the numbers a stretch at a time.
struct GltfGeometry {
    struct InOrder;  // the refined mesh, and each vertex's position in it

    std::vector<Point3f> positions;
    std::vector<Point3f> normals;
    std::vector<Point2f> uvs;            // empty without texture
    std::vector<std::uint32_t> indices;      // three to a triangle
    std::shared_ptr<const InOrder> inOrder;  // set instead of the arrays
    Point3f min, max;                    // of the positions, for the accessor
    bool flipV = false;                      // uvs read as (u, 1 - v)

    std::size_t vertexCount() const;
    std::size_t indexCount() const;
    bool textured() const;
    // Elements [first, first + count) of each array, however held.
    void copyPositions(std::size_t first, std::size_t count, Point3f* out) const;
    void copyNormals(std::size_t first, std::size_t count, Point3f* out) const;
    void copyUvs(std::size_t first, std::size_t count, Point2f* out) const;
    void copyIndices(std::size_t first, std::size_t count, std::uint32_t* out) const;
};

// One unit normal per refined position: the limit normals the refinement gives, when
// it gives them, otherwise the sum of the area vectors of the refined quads around
// the position, normalized (+z where they cancel out).
std::vector<Point3f> positionNormals(const RefinedMesh& mesh);

// The refined facets `facets` (every facet when null) of `mesh` as one primitive,
// `normals` from positionNormals(mesh): only the pairs of a position and a texture
// coordinate the facets use get vertices, in the order the facets first use them.
// Facets without texture, in a mesh some of whose facets have it, get (0, 0).
GltfGeometry gltfGeometry(const RefinedMesh& mesh, const std::vector<Point3f>& normals,
                          const std::vector<std::uint32_t>* facets = nullptr);

// The whole refined mesh as one primitive, its normals from positionNormals (worked
// out on a second thread beside the vertices). Where each texture coordinate lies
// over one position (or there is no texture), the vertices are the texture
// coordinates (positions) in their order, every one of them, and the geometry keeps
// the mesh rather than copies of its numbers.
GltfGeometry gltfGeometry(RefinedMesh&& mesh);

}  // namespace faceloom
