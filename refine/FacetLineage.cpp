#include "FacetLineage.h"

#include <algorithm>
#include <limits>
#include <numeric>


namespace faceloom {

namespace {

constexpr std::size_t kNotFound = std::numeric_limits<std::size_t>::max();

// The one place of `id` among the `count` corners cornerAt(0 .. count-1), or
// kNotFound when it is absent or repeated.
template <class CornerAt>
std::size_t uniquePlace(CornerAt cornerAt, std::size_t count, std::size_t id) {
    std::size_t place = kNotFound;
    for (std::size_t c = 0; c < count; ++c) {
        if (cornerAt(c) == id) {
            if (place != kNotFound) {
                return kNotFound;
            }
            place = c;
        }
    }
    return place;
}

// Whether the slots name each of 0 .. slots.size() - 1 once.
bool oneToOne(const FilledLater<std::uint32_t>& slots) {
    std::vector<bool> taken(slots.size());
    for (const std::uint32_t slot : slots) {
        if (slot >= slots.size() || taken[slot]) {
            return false;
        }
        taken[slot] = true;
    }
    return true;
}

}  // namespace

FacetLineage::FacetLineage(const SurfaceMesh& surface, const ObjMesh& mesh, CornerSide side) {
    if (num_faces(surface) != mesh.faceCount() ||
        mesh.cornerCount() > std::numeric_limits<std::uint32_t>::max()) {
        invalidate();
        return;
    }
    faceBase_.resize(mesh.faceCount() + 1);
    faceCycles_.reserve(mesh.cornerCount());
    faceRotations_.reserve(mesh.faceCount());

    std::vector<std::size_t> actual;
    std::uint32_t face = 0;
    for (const auto f : faces(surface)) {
        const ObjMesh::FaceCorners corners = mesh.faceCorners(face);
        const std::size_t n = corners.size();
        actual.clear();
        auto h = halfedge(f, surface);
        do {
            actual.push_back(vertexIndex(surface, target(h, surface)));
            h = next(h, surface);
        } while (h != halfedge(f, surface));
        if (actual.size() != n || n == 0) {
            invalidate();
            return;
        }
        // The builder took corner c of the face as vertex (index - 1); the canonical
        // cycle is the face's own corner order, whatever corner CGAL starts from.
        const auto expected = [&](std::size_t c) {
            return std::size_t{indexOf(corners[static_cast<std::uint32_t>(c)], side) - 1u};
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
            faceCycles_.push_back(static_cast<std::uint32_t>(expected(c)));
        }
        faceBase_[face] = mesh.faceStarts[face];
        faceRotations_.push_back(static_cast<std::uint32_t>(rotation));
        ++face;
    }
    faceBase_[mesh.faceCount()] = mesh.cornerCount();
}

void FacetLineage::invalidate() {
    valid_ = false;
    faceBase_ = {};
    faceCycles_ = {};
    faceRotations_ = {};
    slots_ = {};
    rotations_ = {};
    corners_ = {};
}

void FacetLineage::nameNextLevel(FilledLater<std::uint32_t> slots,
                                 FilledLater<std::uint8_t> rotations) {
    if (!valid_) {
        return;
    }
    slots_ = std::move(slots);
    rotations_ = std::move(rotations);
    corners_ = {};
    if (!refined_) {
        faceCycles_ = {};
        faceRotations_ = {};
        refined_ = true;
    }
    ++steps_;
}

void FacetLineage::beforeStep(const SurfaceMesh& surface) {
    oldVertices_ = num_vertices(surface);
    oldFacets_ = num_faces(surface);
}

void FacetLineage::afterStep(const SurfaceMesh& surface) {
    if (!valid_) {
        return;
    }
    // Slots and vertex indices are kept in 32 bits.
    const std::size_t newFacets = num_faces(surface);
    NextLevel level;
    level.firstFacetVertex = num_vertices(surface) - oldFacets_;
    if (newFacets > std::numeric_limits<std::uint32_t>::max() ||
        num_vertices(surface) > std::numeric_limits<std::uint32_t>::max() ||
        level.firstFacetVertex < oldVertices_) {
        invalidate();
        return;
    }
    level.slots.resize(newFacets);
    level.rotations.resize(newFacets);
    level.corners.resize(4 * newFacets);
    std::size_t i = 0;
    for (const auto facet : faces(surface)) {
        if (!readChild(surface, facet, i++, level)) {
            invalidate();
            return;
        }
    }
    if ((!refined_ && !placeFirstStepChildren(level.corners, level.rotations,
                                              level.firstFacetVertex, level.slots)) ||
        !oneToOne(level.slots)) {
        invalidate();
        return;
    }
    nameNextLevel(std::move(level.slots), std::move(level.rotations));
    corners_ = std::move(level.corners);
}

bool FacetLineage::readChild(const SurfaceMesh& surface, SurfaceMesh::Face_index facet,
                             std::size_t i, NextLevel& level) const {
    std::uint32_t* ids = &level.corners[4 * i];
    auto h = halfedge(facet, surface);
    for (int a = 0; a < 4; ++a, h = next(h, surface)) {
        ids[a] = static_cast<std::uint32_t>(vertexIndex(surface, target(h, surface)));
    }
    // All refined facets are quadrilaterals with exactly one old vertex, and the
    // parent's facet vertex opposite it, edge vertices in between.
    const auto isEdgeVertex = [&](std::size_t id) {
        return id >= oldVertices_ && id < level.firstFacetVertex;
    };
    std::size_t r = 4;
    for (std::size_t a = 0; a < 4; ++a) {
        if (ids[a] < oldVertices_) {
            r = (r == 4) ? a : 5;  // 5: more than one old vertex
        }
    }
    if (h != halfedge(facet, surface) || r >= 4 || ids[(r + 2) % 4] < level.firstFacetVertex ||
        !isEdgeVertex(ids[(r + 1) % 4]) || !isEdgeVertex(ids[(r + 3) % 4])) {
        return false;
    }
    level.rotations[i] = static_cast<std::uint8_t>(r);
    if (!refined_) {
        return true;  // placeFirstStepChildren gives the slots
    }
    // Where the old vertex stands in the parent quadrilateral's canonical cycle.
    const std::size_t parent = ids[(r + 2) % 4] - level.firstFacetVertex;
    const std::uint32_t* parentCorners = &corners_[4 * parent];
    const unsigned parentRotation = rotations_[parent];
    const std::size_t c = uniquePlace(
        [&](std::size_t k) { return parentCorners[(k + parentRotation) & 3]; }, 4, ids[r]);
    const std::uint64_t slot = std::uint64_t{4} * slots_[parent] + c;
    if (c == kNotFound || slot >= level.slots.size()) {
        return false;
    }
    level.slots[i] = static_cast<std::uint32_t>(slot);
    return true;
}

bool FacetLineage::placeFirstStepChildren(const FilledLater<std::uint32_t>& corners,
                                          const FilledLater<std::uint8_t>& rotations,
                                          std::size_t firstFacetVertex,
                                          FilledLater<std::uint32_t>& slots) const {
    // A face of n corners has n children, one at each of its corners. Looking each
    // child's old vertex up in its parent's cycle would cost n per child, n * n per
    // face; instead the children are grouped by parent, and each parent's cycle is
    // spread once over a table indexed by vertex, which is cleared again after it.
    const std::size_t children = rotations.size();
    const std::size_t parents = faceBase_.size() - 1;
    const auto parentOf = [&](std::size_t i) {
        return corners[4 * i + (rotations[i] + 2) % 4] - firstFacetVertex;
    };
    std::vector<std::uint32_t> firstChild(parents + 1, 0);
    for (std::size_t i = 0; i < children; ++i) {
        const std::size_t parent = parentOf(i);
        if (parent >= parents) {
            return false;
        }
        ++firstChild[parent + 1];
    }
    for (std::size_t p = 0; p < parents; ++p) {
        firstChild[p + 1] += firstChild[p];
    }
    std::vector<std::uint32_t> byParent(children);
    std::vector<std::uint32_t> next(firstChild.begin(), firstChild.end() - 1);
    for (std::size_t i = 0; i < children; ++i) {
        byParent[next[parentOf(i)]++] = static_cast<std::uint32_t>(i);
    }

    constexpr std::uint32_t kAbsent = std::numeric_limits<std::uint32_t>::max();
    constexpr std::uint32_t kRepeated = kAbsent - 1;
    std::vector<std::uint32_t> place(oldVertices_, kAbsent);
    for (std::size_t p = 0; p < parents; ++p) {
        const std::uint32_t* cycle = &faceCycles_[faceBase_[p]];
        const std::size_t n = faceBase_[p + 1] - faceBase_[p];
        for (std::size_t c = 0; c < n; ++c) {
            std::uint32_t& at = place[cycle[c]];
            at = (at == kAbsent) ? static_cast<std::uint32_t>(c) : kRepeated;
        }
        bool found = true;
        for (std::uint32_t k = firstChild[p]; k < firstChild[p + 1]; ++k) {
            const std::uint32_t i = byParent[k];
            const std::uint32_t c = place[corners[4 * i + rotations[i]]];
            found = found && c < kRepeated;
            slots[i] = static_cast<std::uint32_t>(faceBase_[p] + c);
        }
        for (std::size_t c = 0; c < n; ++c) {
            place[cycle[c]] = kAbsent;
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint32_t> FacetLineage::inputFaces() const {
    if (!valid_) {
        return {};
    }
    if (steps_ == 0) {
        std::vector<std::uint32_t> faces(faceBase_.size() - 1);
        std::iota(faces.begin(), faces.end(), 0u);
        return faces;
    }
    // A facet's slot after the first step, shifted back by two bits per later step,
    // is the slot of its first-step ancestor; faceBase_ says whose child that is.
    std::vector<std::uint32_t> faceOfFirstSlot(faceBase_.back());
    for (std::size_t face = 0; face + 1 < faceBase_.size(); ++face) {
        std::fill(faceOfFirstSlot.begin() + faceBase_[face],
                  faceOfFirstSlot.begin() + faceBase_[face + 1], static_cast<std::uint32_t>(face));
    }
    const int shift = 2 * (steps_ - 1);
    std::vector<std::uint32_t> faces(slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        faces[i] = faceOfFirstSlot[slots_[i] >> shift];
    }
    return faces;
}

}  // namespace faceloom
