#include "GltfGeometry.h"

#include "ForkJoin.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

namespace faceloom {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// The refinement's own normals, when it gives them (one per refined position).
bool copyGivenNormals(const RefinedMesh& mesh, std::vector<Point3f>& normals) {
    if (mesh.normals.empty() || mesh.normals.size() != mesh.positions.size()) {
        return false;
    }
    normals.assign(mesh.normals.begin(), mesh.normals.end());
    return true;
}

Point3f minus(const Point3f& a, const Point3f& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Numbers the vertices of a primitive as its facets first use them.
class VertexNumbering {
public:
    VertexNumbering(const RefinedMesh& mesh, const std::vector<Point3f>& normals,
                    GltfGeometry& out)
        : mesh_(mesh),
          normals_(normals),
          out_(out),
          ofPosition_(mesh.positions.size(), kNone),
          ofUv_(mesh.textured ? mesh.uvs.size() : 0, kNone),
          ownerOfUv_(ofUv_.size(), kNone) {}

    std::uint32_t vertex(std::size_t facet, std::size_t corner) {
        const std::uint32_t p = mesh_.positionCorners[corner];
        if (!mesh_.facetHasTexture(facet)) {
            return numbered(ofPosition_[p], p, nullptr);
        }
        const std::uint32_t t = mesh_.textureCorners[corner];
        if (ownerOfUv_[t] == kNone || ownerOfUv_[t] == p) {
            ownerOfUv_[t] = p;
            return numbered(ofUv_[t], p, &mesh_.uvs[t]);
        }
        // A texture coordinate over more than one position: rare, so kept aside.
        return numbered(aside_.emplace(std::uint64_t{p} << 32 | t, kNone).first->second, p,
                        &mesh_.uvs[t]);
    }

private:
    std::uint32_t numbered(std::uint32_t& slot, std::uint32_t p, const Point2f* uv) {
        if (slot == kNone) {
            slot = static_cast<std::uint32_t>(out_.positions.size());
            out_.positions.push_back(mesh_.positions[p]);
            out_.normals.push_back(normals_[p]);
            if (mesh_.textured) {
                out_.uvs.push_back(uv != nullptr ? *uv : Point2f{});
            }
        }
        return slot;
    }

    const RefinedMesh& mesh_;
    const std::vector<Point3f>& normals_;
    GltfGeometry& out_;
    std::vector<std::uint32_t> ofPosition_;  // vertex of an untextured corner
    std::vector<std::uint32_t> ofUv_;        // vertex of a textured corner
    std::vector<std::uint32_t> ownerOfUv_;   // the position of that vertex
    std::unordered_map<std::uint64_t, std::uint32_t> aside_;
};

void setBounds(GltfGeometry& out) {
    if (out.positions.empty()) {
        return;
    }
    out.min = out.max = out.positions[0];
    for (const Point3f& p : out.positions) {
        out.min = {std::min(out.min.x, p.x), std::min(out.min.y, p.y), std::min(out.min.z, p.z)};
        out.max = {std::max(out.max.x, p.x), std::max(out.max.y, p.y), std::max(out.max.z, p.z)};
    }
}

}  // namespace

std::vector<Point3f> positionNormals(const RefinedMesh& mesh) {
    std::vector<Point3f> normals;
    if (copyGivenNormals(mesh, normals)) {
        return normals;
    }
    normals.assign(mesh.positions.size(), Point3f{});
    const std::uint32_t* corner = mesh.positionCorners.data();
    for (std::size_t facet = 0; facet < mesh.facetCount(); ++facet, corner += 4) {
        const Point3f& a = mesh.positions[corner[0]];
        const Point3f& b = mesh.positions[corner[1]];
        const Point3f& c = mesh.positions[corner[2]];
        const Point3f& d = mesh.positions[corner[3]];
        // Twice the quad's area vector: the cross product of its diagonals.
        const Point3f e = minus(c, a), f = minus(d, b);
        const Point3f area{e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
        for (int k = 0; k < 4; ++k) {
            Point3f& n = normals[corner[k]];
            n = {n.x + area.x, n.y + area.y, n.z + area.z};
        }
    }
    for (Point3f& n : normals) {
        const double length = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        if (length > 0 && std::isfinite(length)) {
            n = {float(n.x / length), float(n.y / length), float(n.z / length)};
        } else {
            n = {0.0f, 0.0f, 1.0f};
        }
    }
    return normals;
}

namespace {

// Each texture coordinate's position, when every one lies over exactly one: the
// refined texture is the position surface cut open along its seams. Empty otherwise.
std::vector<std::uint32_t> positionOfEachUv(const RefinedMesh& mesh) {
    if (!mesh.facetTextured.empty() || mesh.textureCorners.size() != mesh.positionCorners.size()) {
        return {};
    }
    std::vector<std::uint32_t> owner(mesh.uvs.size(), kNone);
    for (std::size_t c = 0; c < mesh.positionCorners.size(); ++c) {
        std::uint32_t& o = owner[mesh.textureCorners[c]];
        if (o != kNone && o != mesh.positionCorners[c]) {
            return {};
        }
        o = mesh.positionCorners[c];
    }
    for (std::uint32_t o : owner) {
        if (o == kNone) {
            return {};  // an unused texture coordinate: it gets no vertex
        }
    }
    return owner;
}

}  // namespace

struct GltfGeometry::InOrder {
    RefinedMesh mesh;
    std::vector<std::uint32_t> owner;  // the position of each vertex; empty: the vertex's own
    std::vector<Point3f> normals;  // by position

    std::uint32_t positionOf(std::size_t vertex) const {
        return owner.empty() ? static_cast<std::uint32_t>(vertex) : owner[vertex];
    }
    const FilledLater<std::uint32_t>& corners() const {
        return mesh.textured ? mesh.textureCorners : mesh.positionCorners;
    }
};

GltfGeometry gltfGeometry(RefinedMesh&& mesh) {
    auto inOrder = std::make_shared<GltfGeometry::InOrder>();
    std::vector<Point3f> normals;
    bool whole = !mesh.textured;
    // The normals beside the vertices' positions, which need them only when written.
    forkJoin([&] { normals = positionNormals(mesh); },
             [&] {
                 if (mesh.textured) {
                     inOrder->owner = positionOfEachUv(mesh);
                     whole = !inOrder->owner.empty();
                 }
             });
    if (!whole) {
        return gltfGeometry(mesh, normals);
    }
    inOrder->normals = std::move(normals);
    inOrder->mesh = std::move(mesh);
    GltfGeometry out;
    out.inOrder = std::move(inOrder);
    const std::size_t n = out.vertexCount();
    for (std::size_t v = 0; v < n; ++v) {
        const Point3f& p = out.inOrder->mesh.positions[out.inOrder->positionOf(v)];
        out.min = v == 0 ? p
                         : Point3f{std::min(out.min.x, p.x), std::min(out.min.y, p.y),
                                       std::min(out.min.z, p.z)};
        out.max = v == 0 ? p
                         : Point3f{std::max(out.max.x, p.x), std::max(out.max.y, p.y),
                                       std::max(out.max.z, p.z)};
    }
    return out;
}

std::size_t GltfGeometry::vertexCount() const {
    if (!inOrder) {
        return positions.size();
    }
    return inOrder->mesh.textured ? inOrder->mesh.uvs.size() : inOrder->mesh.positions.size();
}

std::size_t GltfGeometry::indexCount() const {
    return inOrder ? inOrder->corners().size() / 4 * 6 : indices.size();
}

bool GltfGeometry::textured() const {
    return inOrder ? inOrder->mesh.textured : !uvs.empty();
}

void GltfGeometry::copyPositions(std::size_t first, std::size_t count, Point3f* out) const {
    for (std::size_t v = first; v < first + count; ++v) {
        *out++ = inOrder ? inOrder->mesh.positions[inOrder->positionOf(v)] : positions[v];
    }
}

void GltfGeometry::copyNormals(std::size_t first, std::size_t count, Point3f* out) const {
    for (std::size_t v = first; v < first + count; ++v) {
        *out++ = inOrder ? inOrder->normals[inOrder->positionOf(v)] : normals[v];
    }
}

void GltfGeometry::copyUvs(std::size_t first, std::size_t count, Point2f* out) const {
    const Point2f* from = (inOrder ? inOrder->mesh.uvs.data() : uvs.data()) + first;
    for (std::size_t v = 0; v < count; ++v, ++from) {
        *out++ = {from->x, flipV ? 1.0f - from->y : from->y};
    }
}

void GltfGeometry::copyIndices(std::size_t first, std::size_t count, std::uint32_t* out) const {
    if (!inOrder) {
        std::copy(indices.begin() + static_cast<std::ptrdiff_t>(first),
                  indices.begin() + static_cast<std::ptrdiff_t>(first + count), out);
        return;
    }
    // Index i is corner kQuadCorner[i % 6] of facet i / 6.
    static constexpr std::size_t kQuadCorner[6] = {0, 1, 2, 0, 2, 3};
    const std::uint32_t* corners = inOrder->corners().data();
    for (std::size_t i = first; i < first + count; ++i) {
        *out++ = corners[4 * (i / 6) + kQuadCorner[i % 6]];
    }
}

GltfGeometry gltfGeometry(const RefinedMesh& mesh, const std::vector<Point3f>& normals,
                          const std::vector<std::uint32_t>* facets) {
    GltfGeometry out;
    const std::size_t count = facets != nullptr ? facets->size() : mesh.facetCount();
    out.indices.reserve(6 * count);
    VertexNumbering numbering(mesh, normals, out);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t facet = facets != nullptr ? (*facets)[i] : i;
        std::uint32_t v[4];
        for (std::size_t k = 0; k < 4; ++k) {
            v[k] = numbering.vertex(facet, 4 * facet + k);
        }
        out.indices.insert(out.indices.end(), {v[0], v[1], v[2], v[0], v[2], v[3]});
    }
    setBounds(out);
    return out;
}

}  // namespace faceloom
