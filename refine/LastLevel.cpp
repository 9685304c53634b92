#include "LastLevel.h"

#include "CatmullClarkStep.h"
#include "ForkJoin.h"
#include "PqqNumbering.h"
#include "StepPoints.h"

namespace faceloom {

namespace {

std::size_t levelVertices(const SurfaceMesh& surface) {
    return surface.number_of_vertices() + surface.number_of_edges() + surface.number_of_faces();
}

}  // namespace

void computeLastPositions(SurfaceMesh& surface, const RefinementRules& rules,
                          FacetLineage& lineage, RefinedMesh& mesh) {
    mesh.positions.resize(levelVertices(surface));
    computeStepPoints(surface, rules, [&](std::size_t index, const Kernel::Point_3& p) {
        mesh.positions[index] = {p.x(), p.y(), p.z()};
    });
    const std::size_t facets = sizesOf(surface).corners;
    mesh.positionCorners.resize(4 * facets);
    FilledLater<std::uint32_t> slots(facets);
    FilledLater<std::uint8_t> rotations(facets);
    forEachChild(surface, [&](const ParentFacet& parent, std::uint32_t place) {
        const std::uint32_t child = parent.child(place);
        rotations[child] = parent.childRotation(place);
        const auto cycle = childCycle(childRoles(surface, parent, place), rotations[child]);
        std::copy(cycle.begin(), cycle.end(), mesh.positionCorners.begin() + 4 * child);
        if (lineage.valid()) {
            slots[child] = lineage.childSlot(parent.facet, place, parent.corners());
        }
    });
    lineage.nameNextLevel(std::move(slots), std::move(rotations));
}

void computeLastTexture(SurfaceMesh& surface, const RefinementRules& rules,
                        const FacetLineage& lineage, TextureBySlot& texture) {
    texture.uvs.resize(levelVertices(surface));
    computeStepPoints(surface, rules, [&](std::size_t index, const Kernel::Point_3& p) {
        texture.uvs[index] = {p.x(), p.y()};
    });
    if (!lineage.valid()) {
        return;
    }
    texture.roles.resize(4 * sizesOf(surface).corners);
    forEachChild(surface, [&](const ParentFacet& parent, std::uint32_t place) {
        const ChildRoles roles = childRoles(surface, parent, place);
        const std::size_t slot = lineage.childSlot(parent.facet, place, parent.corners());
        std::copy(roles.begin(), roles.end(), texture.roles.begin() + 4 * slot);
    });
}

bool pairLastLevel(const FacetLineage& positions, TextureBySlot& texture, RefinedMesh& mesh) {
    const std::size_t facets = mesh.facetCount();
    if (!positions.valid() || positions.slots().size() != facets ||
        texture.roles.size() != 4 * facets) {
        return false;
    }
    mesh.textureCorners.resize(4 * facets);
    const auto pair = [&](std::size_t first, std::size_t end) {
        for (std::size_t f = first; f < end; ++f) {
            const std::uint32_t* roles = &texture.roles[4 * std::size_t{positions.slots()[f]}];
            const unsigned rotation = positions.rotations()[f];
            for (unsigned a = 0; a < 4; ++a) {
                mesh.textureCorners[4 * f + a] = roles[(a - rotation) & 3u];
            }
        }
    };
    // Each half of the facets on a thread of its own: they write apart.
    forkJoin([&] { pair(facets / 2, facets); }, [&] { pair(0, facets / 2); });
    texture.roles = {};
    mesh.uvs = std::move(texture.uvs);
    mesh.textured = true;
    return true;
}

}  // namespace faceloom
