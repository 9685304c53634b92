#pragma once

#include <cstddef>

namespace faceloom {

// Whether a freshly built halfedge structure is sound: every halfedge's links agree
// with its neighbours', no edge runs from a vertex to itself, and the cycles around
// every vertex and every facet account for each halfedge exactly once. These are
// CGAL's own validity rules, with one difference: a vertex without any halfedge (a
// position no face uses) is allowed.
//
// CGAL's incremental builder accepts a few rare face lists from which it links a
// structure that fails this check: a face naming the same vertex twice in a row, and
// (found by fuzzing) a closed two-triangle pillow touching another face at a vertex,
// which the refinement then loops on forever. Such a surface must be refused like any
// other the builder rejects.
template <class HDS>
bool isSoundSurface(const HDS& hds) {
    using Halfedge = typename HDS::Halfedge_const_handle;
    std::size_t borders = 0;
    for (auto h = hds.halfedges_begin(); h != hds.halfedges_end(); ++h) {
        const Halfedge next = h->next(), opposite = h->opposite();
        if (next == Halfedge() || opposite == Halfedge() || opposite == Halfedge(h) ||
            opposite->opposite() != Halfedge(h) || next->prev() != Halfedge(h) ||
            next->opposite()->vertex() != h->vertex() || next->face() != h->face() ||
            next == Halfedge(h) || opposite->vertex() == h->vertex()) {
            return false;
        }
        borders += h->is_border();
    }
    std::size_t aroundVertices = 0;
    for (auto v = hds.vertices_begin(); v != hds.vertices_end(); ++v) {
        const Halfedge first = v->halfedge();
        if (first == Halfedge()) {
            continue;  // unused vertex
        }
        if (first->vertex() != v) {
            return false;
        }
        Halfedge h = first;
        do {
            if (++aroundVertices > hds.size_of_halfedges()) {
                return false;
            }
            h = h->next()->opposite();
        } while (h != first);
    }
    std::size_t aroundFacets = 0;
    for (auto f = hds.faces_begin(); f != hds.faces_end(); ++f) {
        const Halfedge first = f->halfedge();
        if (first == Halfedge() || first->face() != f) {
            return false;
        }
        Halfedge h = first;
        do {
            if (++aroundFacets > hds.size_of_halfedges()) {
                return false;
            }
            h = h->next();
        } while (h != first);
    }
    return aroundVertices == hds.size_of_halfedges() &&
           aroundFacets + borders == hds.size_of_halfedges();
}

}  // namespace faceloom
