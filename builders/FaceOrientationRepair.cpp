#include "builders/FaceOrientationRepair.h"

#include <algorithm>
#include <limits>
#include <vector>

#include <CGAL/Polygon_mesh_processing/orient_polygon_soup.h>

#include "builders/Polyhedron.h"
#include "builders/SurfaceBuild.h"

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

}  // namespace

std::optional<OrientedFaces> orientFaces(const ObjMesh& mesh) {
    const auto positions = mesh.getPositions();
    const auto faceTypes = mesh.getFaceTypes();

    std::vector<Kernel::Point_3> points;
    points.reserve(mesh.vertexCount);
    for (std::uint32_t i = 0; i < mesh.vertexCount; ++i) {
        points.emplace_back(positions[i].x, positions[i].y, positions[i].z);
    }
    std::vector<std::vector<std::size_t>> polygons(mesh.faceCount);
    std::vector<std::uint32_t> indices;
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        if (faceTypes[face].x == kCornersUnread || faceTypes[face].y < 3) {
            return std::nullopt;
        }
        indices.clear();
        for (const vec2<unsigned int>& corner : mesh.faceCorners(face)) {
            if (corner.x < 1 || corner.x > mesh.vertexCount) {
                return std::nullopt;
            }
            indices.push_back(corner.x - 1);
        }
        // orient_polygon_soup loops forever on a polygon through one vertex twice.
        if (firstRepeated(indices) != kNoneRepeated) {
            return std::nullopt;
        }
        polygons[face].assign(indices.begin(), indices.end());
    }

    Changes changes;
    changes.reversed.assign(mesh.faceCount, false);
    RecordingVisitor visitor;
    visitor.changes = &changes;
    visitor.originalCount = points.size();
    CGAL::Polygon_mesh_processing::orient_polygon_soup(points, polygons,
                                                       CGAL::parameters::visitor(visitor));

    OrientedFaces result{mesh, 0, points.size() - mesh.vertexCount};
    result.turnedFaces = static_cast<std::size_t>(
        std::count(changes.reversed.begin(), changes.reversed.end(), true));
    if (result.turnedFaces == 0 && result.splitVertices == 0) {
        return std::nullopt;  // the same faces would be refused again
    }
    if (changes.duplicateOf.size() != result.splitVertices ||
        points.size() > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }

    boost::shared_array<vec3<float>> newPositions(new vec3<float>[points.size()]);
    for (std::size_t i = 0; i < points.size(); ++i) {
        newPositions[i] = {points[i].x(), points[i].y(), points[i].z()};
    }
    boost::shared_array<vec2<unsigned int>> newCorners(new vec2<unsigned int>[mesh.cornerCount]);
    const auto original = [&](std::size_t index) {
        while (index >= mesh.vertexCount) {
            index = changes.duplicateOf[index - mesh.vertexCount];
        }
        return index;
    };
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        const ObjMesh::FaceCorners faceCorners = mesh.faceCorners(face);
        const std::uint32_t n = faceCorners.size();
        for (std::uint32_t k = 0; k < n; ++k) {
            // A turned face runs its corners backwards (CGAL reverses the index list),
            // the texture corners with them.
            const vec2<unsigned int>& from = faceCorners[changes.reversed[face] ? n - 1 - k : k];
            const std::size_t index = polygons[face][k];
            if (original(index) != from.x - 1) {
                return std::nullopt;  // not the change we were told about: don't guess
            }
            newCorners[mesh.faceStarts[face] + k] = {static_cast<unsigned int>(index + 1), from.y};
        }
    }
    result.mesh.positions = newPositions;
    result.mesh.vertexCount = static_cast<std::uint32_t>(points.size());
    result.mesh.corners = newCorners;
    return result;
}

}  // namespace faceloom
