#include "LimitSurface.h"

#include <cstddef>
#include <utility>

#include "ForkJoin.h"
#include "LimitStencils.h"

namespace faceloom {

namespace {

using Halfedge = SurfaceMesh::Halfedge_index;

Vector3 toVector(const Point3f& p) {
    return {p.x, p.y, p.z};
}

Vector3 toVector(const Point2f& p) {
    return {p.x, p.y, 0.0};
}

// Reads the 1-ring of every vertex of the refined level off the level before it (see
// LimitSurface.h for the numbering and the rings).
template <class Point>
class RingWalk {
public:
    RingWalk(const SurfaceMesh& mesh, const RefinementRules& rules,
             const FilledLater<Point>& refined)
        : mesh_(mesh),
          rules_(rules),
          refined_(refined),
          vertices_(mesh.number_of_vertices()),
          edges_(mesh.number_of_edges()) {}

    static bool numbers(const SurfaceMesh& mesh, std::size_t refinedCount) {
        return !mesh.has_garbage() && refinedCount == mesh.number_of_vertices() +
                                                          mesh.number_of_edges() +
                                                          mesh.number_of_faces();
    }

    // Calls visit(index, ring, rule) for the refined vertices numbered `from` to `to`
    // (the old vertices', then the edges', then the faces' points: see numbers()).
    template <class Visit>
    void forRange(std::size_t from, std::size_t to, Visit visit) const {
        Ring ring;
        for (std::size_t i = from; i < to; ++i) {
            if (i < vertices_) {
                visit(i, ring, oldVertex(SurfaceMesh::Vertex_index(i), ring));
            } else if (i < vertices_ + edges_) {
                visit(i, ring, edgePoint(SurfaceMesh::Edge_index(i - vertices_), ring));
            } else {
                visit(i, ring, facePoint(SurfaceMesh::Face_index(i - vertices_ - edges_), ring));
            }
        }
    }

    // forRange over all refined vertices, in two halves on two threads: every vertex's
    // ring and result are its own, so the halves share nothing but what they read.
    template <class Visit>
    void forAll(std::size_t count, Visit visit) const {
        const std::size_t half = count / 2;
        forkJoinIf(count >= kTwoThreadsFrom, [&] { forRange(half, count, visit); },
                   [&] { forRange(0, half, visit); });
    }

private:
    Vector3 at(std::size_t index) const { return toVector(refined_[index]); }
    std::size_t vertexPoint(SurfaceMesh::Vertex_index v) const { return v.idx(); }
    std::size_t edgePointOf(Halfedge h) const { return vertices_ + (h.idx() >> 1); }
    std::size_t facePointOf(Halfedge h) const {
        return vertices_ + edges_ + mesh_.face(h).idx();
    }

    void start(std::size_t centre, Ring& ring) const {
        ring.centre = at(centre);
        ring.neighbours.clear();
        ring.diagonals.clear();
        ring.border = false;
    }
    void neighbour(std::size_t index, Ring& ring) const {
        ring.neighbours.push_back(relative(index, ring));
    }
    void diagonal(std::size_t index, Ring& ring) const {
        ring.diagonals.push_back(relative(index, ring));
    }
    Vector3 relative(std::size_t index, const Ring& ring) const {
        const Vector3 p = at(index);
        return {p.x - ring.centre.x, p.y - ring.centre.y, p.z - ring.centre.z};
    }

    // Whether a refined border vertex of `degree` edges, numbered `index`, stays where
    // it is (as SubdivisionMask decides it).
    bool stays(std::size_t index, std::size_t degree) const {
        return rules_.keepBorders || (rules_.keepOneFaceCorners && degree == 2) ||
               (index < rules_.keep.size() && rules_.keep[index]);
    }
    VertexRule borderRule(std::size_t index, const Ring& ring) const {
        return rules_.linear || stays(index, ring.neighbours.size()) ? VertexRule::kPinned
                                                                     : VertexRule::kSmooth;
    }
    VertexRule insideRule() const {
        return rules_.linear ? VertexRule::kPinned : VertexRule::kSmooth;
    }

    VertexRule oldVertex(SurfaceMesh::Vertex_index v, Ring& ring) const;
    VertexRule edgePoint(SurfaceMesh::Edge_index e, Ring& ring) const;
    VertexRule facePoint(SurfaceMesh::Face_index f, Ring& ring) const;

    const SurfaceMesh& mesh_;
    const RefinementRules& rules_;
    const FilledLater<Point>& refined_;
    std::size_t vertices_;
    std::size_t edges_;
    // Below this, starting a thread costs more than the walk.
    static constexpr std::size_t kTwoThreadsFrom = 1 << 16;
};

// Around v its outgoing halfedges h, in the facets' winding order (each next one is
// opposite(prev(h))): each gives the neighbour E[h] and, on its face, the diagonal
// F[h]. On a border the ring starts after the border's outgoing halfedge and ends at
// it.
template <class Point>
VertexRule RingWalk<Point>::oldVertex(SurfaceMesh::Vertex_index v, Ring& ring) const {
    start(vertexPoint(v), ring);
    const Halfedge incoming = mesh_.halfedge(v);
    if (incoming == SurfaceMesh::null_halfedge()) {
        return VertexRule::kIsolated;
    }
    const auto turn = [&](Halfedge h) { return mesh_.opposite(mesh_.prev(h)); };
    // Once round, counting the edges and finding the border's outgoing halfedge.
    const Halfedge any = mesh_.opposite(incoming);
    Halfedge first = any, h = any;
    std::size_t degree = 0;
    do {
        if (mesh_.is_border(h)) {
            first = turn(h);
            ring.border = true;
        }
        h = turn(h);
        ++degree;
    } while (h != any && degree <= mesh_.number_of_halfedges());
    h = first;
    for (std::size_t i = 0; i < degree && !mesh_.is_border(h); ++i, h = turn(h)) {
        neighbour(edgePointOf(h), ring);
        diagonal(facePointOf(h), ring);
    }
    if (ring.border) {
        neighbour(edgePointOf(h), ring);
        return borderRule(vertexPoint(v), ring);
    }
    return insideRule();
}

// The edge (a, b) seen from its halfedge h (a to b) on a face: the ring runs V[b],
// F[h], V[a], then F[h'] on the other side; the diagonals are the edge points after
// and before h on its face, then those after and before h' on the other.
template <class Point>
VertexRule RingWalk<Point>::edgePoint(SurfaceMesh::Edge_index e, Ring& ring) const {
    Halfedge h = mesh_.halfedge(e);
    if (mesh_.is_border(h)) {
        h = mesh_.opposite(h);
    }
    const Halfedge other = mesh_.opposite(h);
    const std::size_t index = vertices_ + e.idx();
    start(index, ring);
    neighbour(vertexPoint(mesh_.target(h)), ring);
    diagonal(edgePointOf(mesh_.next(h)), ring);
    neighbour(facePointOf(h), ring);
    diagonal(edgePointOf(mesh_.prev(h)), ring);
    neighbour(vertexPoint(mesh_.source(h)), ring);
    if (mesh_.is_border(other)) {
        ring.border = true;
        return borderRule(index, ring);
    }
    diagonal(edgePointOf(mesh_.next(other)), ring);
    neighbour(facePointOf(other), ring);
    diagonal(edgePointOf(mesh_.prev(other)), ring);
    return insideRule();
}

// Around the face, halfedge by halfedge: the edge point of each, then the vertex
// point of its target as the diagonal.
template <class Point>
VertexRule RingWalk<Point>::facePoint(SurfaceMesh::Face_index f, Ring& ring) const {
    start(vertices_ + edges_ + f.idx(), ring);
    const Halfedge first = mesh_.halfedge(f);
    Halfedge h = first;
    do {
        neighbour(edgePointOf(h), ring);
        diagonal(vertexPoint(mesh_.target(h)), ring);
        h = mesh_.next(h);
    } while (h != first && ring.neighbours.size() <= mesh_.number_of_halfedges());
    return insideRule();
}

// In single precision, without negative zeros (adding zero makes them positive), which
// would be written as "-0".
Point3f toFloat3(const Vector3& p) {
    return {static_cast<float>(p.x) + 0.0f, static_cast<float>(p.y) + 0.0f,
            static_cast<float>(p.z) + 0.0f};
}

}  // namespace

bool takePositionLimits(const SurfaceMesh& previous, const RefinementRules& rules,
                        const LimitOptions& options, FilledLater<Point3f>& positions,
                        FilledLater<Point3f>& normals) {
    if (!RingWalk<Point3f>::numbers(previous, positions.size())) {
        return false;
    }
    const std::size_t count = positions.size();
    FilledLater<Point3f> limits(options.limitSurface ? count : 0);
    normals.clear();
    normals.resize(options.normals ? count : 0);
    RingWalk<Point3f>(previous, rules, positions)
        .forAll(count, [&, stencils = LimitStencils()](std::size_t i, const Ring& ring,
                                                       VertexRule rule) mutable {
            if (options.limitSurface) {
                limits[i] = toFloat3(stencils.limitPoint(ring, rule));
            }
            if (options.normals) {
                normals[i] = toFloat3(stencils.limitNormal(ring, rule));
            }
        });
    if (options.limitSurface) {
        positions = std::move(limits);
    }
    return true;
}

bool takeTextureLimits(const SurfaceMesh& previous, const RefinementRules& rules,
                       FilledLater<Point2f>& uvs) {
    if (!RingWalk<Point2f>::numbers(previous, uvs.size())) {
        return false;
    }
    FilledLater<Point2f> limits(uvs.size());
    RingWalk<Point2f>(previous, rules, uvs)
        .forAll(uvs.size(), [&, stencils = LimitStencils()](std::size_t i, const Ring& ring,
                                                            VertexRule rule) {
            const Vector3 p = stencils.limitPoint(ring, rule);
            limits[i] = {static_cast<float>(p.x), static_cast<float>(p.y)};
        });
    uvs = std::move(limits);
    return true;
}

}  // namespace faceloom
