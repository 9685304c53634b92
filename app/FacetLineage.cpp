#include "app/FacetLineage.h"

#include <limits>


namespace {

// The vertex indices of a facet's corners, in CGAL's cycle from the target of
// halfedge().
void cornerIds(const Polyhedron& surface, Polyhedron::Facet_const_handle facet,
               std::vector<std::size_t>& ids) {
    ids.clear();
    auto h = facet->halfedge();
    do {
        ids.push_back(vertexIndex(surface, h->vertex()));
        h = h->next();
    } while (h != facet->halfedge());
}

// The vertex indices of a quadrilateral's corners, as cornerIds gives them; false when
// the facet has another number of corners.
bool quadIds(const Polyhedron& surface, Polyhedron::Facet_const_handle facet, std::size_t ids[4]) {
    auto h = facet->halfedge();
    for (int a = 0; a < 4; ++a, h = h->next()) {
        ids[a] = vertexIndex(surface, h->vertex());
    }
    return h == facet->halfedge();
}

constexpr std::size_t kNotFound = std::numeric_limits<std::size_t>::max();

// The one place of `id` in [first, last), or kNotFound when it is absent or repeated.
std::size_t uniquePlace(const std::uint32_t* first, const std::uint32_t* last, std::size_t id) {
    std::size_t place = kNotFound;
    for (const std::uint32_t* p = first; p != last; ++p) {
        if (*p == id) {
            if (place != kNotFound) {
                return kNotFound;
            }
            place = static_cast<std::size_t>(p - first);
        }
    }
    return place;
}

}  // namespace

FacetLineage::FacetLineage(const Polyhedron& surface, const ObjMesh& mesh, Side side) {
    if (surface.size_of_facets() != mesh.faceCount ||
        mesh.cornerCount > std::numeric_limits<std::uint32_t>::max()) {
        invalidate();
        return;
    }
    const auto faceTypes = mesh.getFaceTypes();
    const auto corners = mesh.getCorners();
    faceBase_.resize(mesh.faceCount + 1);
    cycles_.reserve(mesh.cornerCount);
    slots_.resize(mesh.faceCount);

    std::vector<std::size_t> actual;
    std::uint64_t first = 0;
    std::uint32_t face = 0;
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f, ++face) {
        const std::size_t n = faceTypes[face].y;
        cornerIds(surface, f, actual);
        if (actual.size() != n || n == 0) {
            invalidate();
            return;
        }
        // The builder took corner c of the face as vertex (index - 1); the canonical
        // cycle is the face's own corner order, whatever corner CGAL starts from.
        const auto expected = [&](std::size_t c) {
            const vec2<unsigned int>& corner = corners[first + c];
            return std::size_t{(side == Side::kPositions ? corner.x : corner.y) - 1u};
        };
        std::size_t rotation = 0;
        while (rotation < n && actual[rotation] != expected(0)) {
            ++rotation;
        }
        for (std::size_t c = 0; c < n; ++c) {
            if (rotation == n || actual[(c + rotation) % n] != expected(c)) {
                invalidate();
                return;
            }
            cycles_.push_back(static_cast<std::uint32_t>(expected(c)));
        }
        faceBase_[face] = first;
        slots_[face] = face;
        first += n;
    }
    faceBase_[mesh.faceCount] = first;
}

void FacetLineage::invalidate() {
    valid_ = false;
    faceBase_.clear();
    cycles_.clear();
    slots_.clear();
    rotations_.clear();
}

void FacetLineage::beforeStep(const Polyhedron& surface) {
    oldVertices_ = surface.size_of_vertices();
    oldFacets_ = surface.size_of_facets();
    if (valid_ && refined_) {
        // The canonical cycles of the quadrilaterals about to be refined.
        cycles_.resize(4 * oldFacets_);
        std::size_t ids[4];
        std::size_t f = 0;
        for (auto facet = surface.facets_begin(); facet != surface.facets_end(); ++facet, ++f) {
            quadIds(surface, facet, ids);  // checked to be one when it was made
            for (std::size_t c = 0; c < 4; ++c) {
                cycles_[4 * f + c] = static_cast<std::uint32_t>(ids[(c + rotations_[f]) % 4]);
            }
        }
    }
}

void FacetLineage::afterStep(const Polyhedron& surface) {
    if (!valid_) {
        return;
    }
    const std::size_t oldVertices = oldVertices_;
    const std::size_t oldFacets = oldFacets_;

    // Slots and the vertex ids of cycles are kept in 32 bits.
    const std::size_t newFacets = surface.size_of_facets();
    const std::size_t firstFacetVertex = surface.size_of_vertices() - oldFacets;
    if (newFacets > std::numeric_limits<std::uint32_t>::max() ||
        surface.size_of_vertices() > std::numeric_limits<std::uint32_t>::max() ||
        firstFacetVertex < oldVertices) {
        invalidate();
        return;
    }
    std::vector<std::uint32_t> newSlots(newFacets);
    std::vector<std::uint8_t> newRotations(newFacets);
    std::vector<bool> taken(newFacets);
    std::size_t ids[4];
    const auto isEdgeVertex = [&](std::size_t id) { return id >= oldVertices && id < firstFacetVertex; };

    std::size_t i = 0;
    for (auto facet = surface.facets_begin(); facet != surface.facets_end(); ++facet, ++i) {
        // All refined facets are quadrilaterals with exactly one old vertex, and the
        // parent's facet vertex opposite it, edge vertices in between.
        const bool quad = quadIds(surface, facet, ids);
        std::size_t r = 4;
        for (std::size_t a = 0; a < 4; ++a) {
            if (ids[a] < oldVertices) {
                r = (r == 4) ? a : 5;  // 5: more than one old vertex
            }
        }
        if (!quad || r >= 4 || ids[(r + 2) % 4] < firstFacetVertex ||
            !isEdgeVertex(ids[(r + 1) % 4]) || !isEdgeVertex(ids[(r + 3) % 4])) {
            invalidate();
            return;
        }
        const std::size_t parent = ids[(r + 2) % 4] - firstFacetVertex;
        const std::uint32_t* cycle =
            cycles_.data() + (refined_ ? 4 * parent : faceBase_[parent]);
        const std::size_t cycleLength = refined_ ? 4 : faceBase_[parent + 1] - faceBase_[parent];
        const std::size_t c = uniquePlace(cycle, cycle + cycleLength, ids[r]);
        const std::uint64_t slot =
            (refined_ ? std::uint64_t{4} * slots_[parent] : faceBase_[parent]) + c;
        if (c == kNotFound || slot >= newFacets || taken[slot]) {
            invalidate();
            return;
        }
        taken[slot] = true;
        newSlots[i] = static_cast<std::uint32_t>(slot);
        newRotations[i] = static_cast<std::uint8_t>(r);
    }
    slots_.swap(newSlots);
    rotations_.swap(newRotations);
    cycles_.clear();
    cycles_.shrink_to_fit();
    refined_ = true;
}
