#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "MeshTopology.h"
#include "ObjMesh.h"
#include "FilledLater.h"
#include "SurfaceMesh.h"

namespace faceloom {

struct RefinementRules;

// Names every facet of a surface that is refined step by step by what it descends
// from, so that two refinements of the same faces (the positions and the flat texture
// layout) can be paired facet for facet even when CGAL lists their facets, and starts
// their corner cycles, in different orders.
//
// The name of a facet is its slot: input face k holds slot k; after a step, the child
// of a facet at the facet's canonical corner c holds slot base(parent) + c, where
// base is the running sum of the corner counts of the faces before it at the first
// step, and 4 * slot(parent) after that (all refined facets are quadrilaterals). Two
// refinements of the same faces give the same slots to corresponding facets.
//
// The canonical corners of a facet are counted from a corner both surfaces agree on:
// for an input face its first corner in the file, for a refined facet the one corner
// it shares with its parent (its "old" vertex). rotation(k) is where canonical
// corner 0 of facet k stands in CGAL's own corner cycle of the facet, the one that
// starts at the target of the facet's halfedge().
//
// The children of a step are named in one of two ways. In closed form (childSlot and
// nameNextLevel), from where CGAL's step puts them (PqqNumbering.h), which a run checks
// before it relies on it. Or by reading the refined surface after a step built by CGAL
// (the steps call beforeStep and afterStep): the old vertices stay first in their old
// order, then one new vertex per edge, then one per facet in facet order; each new
// facet has four corners: one old vertex, an edge vertex, its parent's facet vertex
// (opposite the old one) and another edge vertex. That reading checks this and that
// the slots come out one to one; when anything differs the lineage turns invalid
// rather than guessing.
class FacetLineage {
public:
    // Starts on a surface that was just built from `mesh`, facet k from face k (or an
    // index-preserving copy of one).
    FacetLineage(const SurfaceMesh& surface, const ObjMesh& mesh, CornerSide side);

    bool valid() const { return valid_; }
    // Whether it names refined facets (otherwise the input faces themselves).
    bool refined() const { return refined_; }
    // Where canonical corner 0 of facet f stands in CGAL's cycle of it.
    std::uint32_t rotation(std::uint32_t f) const {
        return refined_ ? rotations_[f] : faceRotations_[f];
    }
    // Per facet, in the surface's facet order, once refined at least one step:
    const FilledLater<std::uint32_t>& slots() const { return slots_; }
    const FilledLater<std::uint8_t>& rotations() const { return rotations_; }
    // ...and the 0-based vertex indices of its four corners, in CGAL's cycle (four
    // entries per facet). Read while naming the facets, they spare the hand-over
    // another walk over the surface.
    const FilledLater<std::uint32_t>& corners() const { return corners_; }
    // Per facet, in facet order: the input face it descends from.
    std::vector<std::uint32_t> inputFaces() const;
    // Hands the corners over, leaving none.
    FilledLater<std::uint32_t> releaseCorners() { return std::move(corners_); }

    // The slot of the child at cycle place `place` of facet `facet` (of `corners`
    // corners) of the current level, in closed form.
    std::uint32_t childSlot(std::uint32_t facet, std::uint32_t place,
                            std::uint32_t corners) const {
        if (!refined_) {
            return static_cast<std::uint32_t>(faceBase_[facet] +
                                              (place + corners - faceRotations_[facet]) % corners);
        }
        return 4 * slots_[facet] + ((place - rotations_[facet]) & 3u);
    }
    // Takes the slots and rotations of the level after a step, named in closed form.
    void nameNextLevel(FilledLater<std::uint32_t> slots, FilledLater<std::uint8_t> rotations);

private:
    // refineSurface calls these around each step: before it, to note the surface's
    // size, and after it, to name the new facets.
    friend struct LineageSteps;
    void beforeStep(const SurfaceMesh& surface);
    void afterStep(const SurfaceMesh& surface);
    void invalidate();
    // The next level as afterStep reads it off the refined surface.
    struct NextLevel {
        std::size_t firstFacetVertex = 0;  // the old facets' new vertices start here
        FilledLater<std::uint32_t> slots;
        FilledLater<std::uint8_t> rotations;
        FilledLater<std::uint32_t> corners;
    };
    // Reads refined facet `facet`, the i-th, into `level`: its corners, its rotation and
    // (past the first step) its slot. False when it is not a child as a step makes it.
    bool readChild(const SurfaceMesh& surface, SurfaceMesh::Face_index facet, std::size_t i,
                   NextLevel& level) const;
    // Gives each child of the first step (its corners and rotation as afterStep read
    // them) its slot, in time linear in the faces' corners. False when a child's old
    // vertex is absent from its parent's cycle or stands in it twice.
    bool placeFirstStepChildren(const FilledLater<std::uint32_t>& corners,
                                const FilledLater<std::uint8_t>& rotations,
                                std::size_t firstFacetVertex,
                                FilledLater<std::uint32_t>& slots) const;

    bool valid_ = true;
    bool refined_ = false;
    int steps_ = 0;
    std::size_t oldVertices_ = 0;  // of the surface before the step
    std::size_t oldFacets_ = 0;
    // faceBase_[k]: the first-step slot of face k's child at canonical corner 0, which is
    // also where face k's canonical cycle starts in faceCycles_.
    std::vector<std::uint64_t> faceBase_;
    // The vertex indices of the input faces' corners in canonical order, and where
    // canonical corner 0 of each stands in CGAL's cycle of its facet.
    std::vector<std::uint32_t> faceCycles_;
    std::vector<std::uint32_t> faceRotations_;
    FilledLater<std::uint32_t> slots_;
    FilledLater<std::uint8_t> rotations_;
    FilledLater<std::uint32_t> corners_;
};

}  // namespace faceloom
