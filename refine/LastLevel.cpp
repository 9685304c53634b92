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
                          const FacetLineage& lineage, RefinedMesh& mesh,
                          PositionParents& parents, std::vector<std::uint32_t>& inputFaces) {
    mesh.positions.resize(levelVertices(surface));
    computeStepPoints(surface, rules, [&](std::size_t index, const Kernel::Point_3& p) {
        mesh.positions[index] = {p.x(), p.y(), p.z()};
    });
    const std::size_t facets = surface.number_of_faces();
    parents.leads.resize(facets);
    parents.rotations.resize(facets);
    parents.firstNew.resize(facets);
    const std::vector<std::uint32_t> faceOfParent =
        lineage.valid() ? lineage.inputFaces() : std::vector<std::uint32_t>{};
    mesh.positionCorners.resize(4 * sizesOf(surface).corners);
    inputFaces.resize(faceOfParent.empty() ? 0 : mesh.positionCorners.size() / 4);
    forEachChild(surface, [&](const ParentFacet& parent, std::uint32_t place) {
        const std::uint32_t child = parent.child(place);
        const auto cycle = childCycle(childRoles(surface, parent, place), parent.childRotation(place));
        std::copy(cycle.begin(), cycle.end(), mesh.positionCorners.begin() + 4 * child);
        if (!inputFaces.empty()) {
            inputFaces[child] = faceOfParent[parent.facet];
        }
        parents.leads[parent.facet] = parent.lead;
        parents.firstNew[parent.facet] = parent.firstNew;
        parents.rotations[parent.facet] = lineage.valid() ? lineage.rotation(parent.facet) : 0;
    });
    if (lineage.valid() && lineage.refined()) {
        parents.facetAtSlot.resize(facets);
        for (std::size_t f = 0; f < facets; ++f) {
            parents.facetAtSlot[lineage.slots()[f]] = static_cast<std::uint32_t>(f);
        }
    }
}

void computeLastUvs(SurfaceMesh& surface, const RefinementRules& rules,
                    FilledLater<Point2f>& uvs) {
    uvs.resize(levelVertices(surface));
    computeStepPoints(surface, rules, [&](std::size_t index, const Kernel::Point_3& p) {
        uvs[index] = {p.x(), p.y()};
    });
}

bool pairLastTexture(const SurfaceMesh& surface, const FacetLineage& lineage,
                     const PositionParents& parents, RefinedMesh& mesh) {
    const std::size_t facets = surface.number_of_faces();
    if (!lineage.valid() || parents.leads.size() != facets ||
        mesh.positionCorners.size() != 4 * sizesOf(surface).corners ||
        lineage.refined() != !parents.facetAtSlot.empty()) {
        return false;
    }
    mesh.textureCorners.resize(mesh.positionCorners.size());
    // Each texture facet puts its children's corners where the position facet of its
    // slot put its children, corner for canonical corner.
    const auto pair = [&](std::size_t first, std::size_t end) {
        ParentFacet parent;
        for (std::size_t t = first; t < end; ++t) {
            readParent(surface, SurfaceMesh::Face_index(static_cast<SurfaceMesh::size_type>(t)),
                       0, parent);
            const std::uint32_t k = parent.corners();
            const std::uint32_t p =
                lineage.refined() ? parents.facetAtSlot[lineage.slots()[t]] : parent.facet;
            const ChildNumbering partner{p, parents.firstNew[p], k, parents.leads[p]};
            for (std::uint32_t place = 0; place < k; ++place) {
                const std::uint32_t canonical = (place + k - lineage.rotation(parent.facet)) % k;
                const std::uint32_t partnerPlace = (canonical + parents.rotations[p]) % k;
                const std::size_t child = partner.child(partnerPlace);
                const unsigned rotation = partner.childRotation(partnerPlace);
                const ChildRoles roles = childRoles(surface, parent, place);
                for (unsigned a = 0; a < 4; ++a) {
                    mesh.textureCorners[4 * child + a] = roles[(a - rotation) & 3u];
                }
            }
        }
    };
    forkJoin([&] { pair(facets / 2, facets); }, [&] { pair(0, facets / 2); });
    mesh.textured = true;
    return true;
}

}  // namespace faceloom
