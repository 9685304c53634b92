#include "FaceOrientationRepair.h"

#include <algorithm>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include <CGAL/Polygon_mesh_processing/orient_polygon_soup.h>
#include <CGAL/Polygon_mesh_processing/orient_polygon_soup_extension.h>

#include "Polyhedron.h"
#include "MeshTopology.h"

namespace faceloom {

namespace {

// Records what the orientation does. CGAL copies its visitor, so the records live
// outside it.
struct Changes {
    std::vector<bool> reversed;            // per face; a face may be turned twice
    std::vector<std::size_t> duplicateOf;  // per added position: the one it copies
};

struct RecordingVisitor : CGAL::Polygon_mesh_processing::Default_orientation_visitor {
    Changes* changes;
    std::size_t originalCount;
    std::set<std::pair<std::size_t, std::size_t>>* nonManifoldEdges;

    void non_manifold_edge(std::size_t a, std::size_t b, std::size_t) {
        nonManifoldEdges->insert(std::minmax(a, b));
    }
    void polygon_orientation_reversed(std::size_t face) {
        changes->reversed[face] = !changes->reversed[face];
    }
    void duplicated_vertex(std::size_t original, std::size_t added) {
        if (added >= originalCount) {
            changes->duplicateOf.resize(
                std::max(changes->duplicateOf.size(), added - originalCount + 1));
            changes->duplicateOf[added - originalCount] = original;
        }
    }
};

// The faces of `mesh` as the polygon soup CGAL orients: points and 0-based index
// lists. False when they can't be handed over (see orientFaces): orient_polygon_soup
// loops forever on a polygon through one vertex twice, for one.
bool toSoup(const ObjMesh& mesh, std::vector<Kernel::Point_3>& points,
            std::vector<std::vector<std::size_t>>& polygons) {
    if (!hasPolygonFaces(mesh)) {
        return false;
    }
    points.reserve(mesh.vertexCount());
    for (const vec3<float>& p : mesh.positions) {
        points.emplace_back(p.x, p.y, p.z);
    }
    polygons.resize(mesh.faceCount());
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        for (const Corner& corner : mesh.faceCorners(face)) {
            polygons[face].push_back(corner.position - 1);
        }
    }
    return true;
}

// The orientation leaves an edge of three or more faces as it is, which no surface can
// hold: its faces are parted there, each fan of them around the edge's ends getting
// positions of its own. CGAL tells no visitor which position each new one copies, but
// it only renames corners: the corner's index before the call names the copied
// position. False when the soup changed otherwise.
bool partNonManifoldEdges(std::size_t originalCount, std::vector<Kernel::Point_3>& points,
                          std::vector<std::vector<std::size_t>>& polygons, Changes& changes) {
    const std::vector<std::vector<std::size_t>> before = polygons;
    CGAL::Polygon_mesh_processing::duplicate_non_manifold_edges_in_polygon_soup(points, polygons);
    changes.duplicateOf.resize(points.size() - originalCount);
    for (std::size_t face = 0; face < polygons.size(); ++face) {
        if (polygons[face].size() != before[face].size()) {
            return false;
        }
        for (std::size_t k = 0; k < polygons[face].size(); ++k) {
            if (polygons[face][k] != before[face][k]) {
                changes.duplicateOf[polygons[face][k] - originalCount] = before[face][k];
            }
        }
    }
    return true;
}

// Writes the oriented soup back into `result.mesh`: the points as positions, and each
// face's corners in the soup's order with the texture index of the corner it came
// from. False when a corner isn't the change CGAL reported.
bool fromSoup(const ObjMesh& mesh, const std::vector<Kernel::Point_3>& points,
              const std::vector<std::vector<std::size_t>>& polygons, const Changes& changes,
              OrientedFaces& result) {
    ObjMesh& out = result.mesh;
    out = withFacesOf(mesh);
    out.uvs = mesh.uvs;
    out.positions.reserve(points.size());
    for (const Kernel::Point_3& p : points) {
        out.positions.push_back({p.x(), p.y(), p.z()});
    }
    const auto original = [&](std::size_t index) {
        while (index >= mesh.vertexCount()) {
            index = changes.duplicateOf[index - mesh.vertexCount()];
        }
        return index;
    };
    out.corners.resize(mesh.cornerCount());
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        const ObjMesh::FaceCorners faceCorners = mesh.faceCorners(face);
        const std::uint32_t n = faceCorners.size();
        for (std::uint32_t k = 0; k < n; ++k) {
            // A turned face runs its corners backwards (CGAL reverses the index list),
            // the texture corners with them.
            const Corner& from = faceCorners[changes.reversed[face] ? n - 1 - k : k];
            const std::size_t index = polygons[face][k];
            if (original(index) != from.position - 1) {
                return false;  // not the change we were told about: don't guess
            }
            out.corners[mesh.faceStarts[face] + k] = {static_cast<std::uint32_t>(index + 1),
                                                      from.texture};
        }
    }
    return true;
}

}  // namespace

std::optional<OrientedFaces> orientFaces(const ObjMesh& mesh) {
    std::vector<Kernel::Point_3> points;
    std::vector<std::vector<std::size_t>> polygons;
    if (!toSoup(mesh, points, polygons)) {
        return std::nullopt;
    }
    Changes changes;
    changes.reversed.assign(mesh.faceCount(), false);
    std::set<std::pair<std::size_t, std::size_t>> nonManifoldEdges;
    RecordingVisitor visitor;
    visitor.changes = &changes;
    visitor.originalCount = points.size();
    visitor.nonManifoldEdges = &nonManifoldEdges;
    CGAL::Polygon_mesh_processing::orient_polygon_soup(points, polygons,
                                                       CGAL::parameters::visitor(visitor));
    const std::size_t splitVertices = points.size() - mesh.vertexCount();
    if (!nonManifoldEdges.empty() &&
        !partNonManifoldEdges(mesh.vertexCount(), points, polygons, changes)) {
        return std::nullopt;
    }

    OrientedFaces result{{}, 0, splitVertices, nonManifoldEdges.size()};
    result.turnedFaces = static_cast<std::size_t>(
        std::count(changes.reversed.begin(), changes.reversed.end(), true));
    if (result.turnedFaces == 0 && result.splitVertices == 0 && result.splitEdges == 0) {
        return std::nullopt;  // the same faces would be refused again
    }
    if (changes.duplicateOf.size() != points.size() - mesh.vertexCount() ||
        points.size() > std::numeric_limits<std::uint32_t>::max() ||
        !fromSoup(mesh, points, polygons, changes, result)) {
        return std::nullopt;
    }
    return result;
}

}  // namespace faceloom
