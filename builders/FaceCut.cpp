#include "builders/FaceCut.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/SharedArray.h"

namespace faceloom {

namespace {

using Corners = std::vector<vec2<unsigned int>>;

enum class Shape { kSimple, kTouchesItself, kNoArea, kLeftForTheBuilder };

Shape shapeOf(const ObjMesh& mesh, std::uint32_t face) {
    if (mesh.faceTypes[face].x == kCornersUnread) {
        return Shape::kLeftForTheBuilder;
    }
    const ObjMesh::FaceCorners corners = mesh.faceCorners(face);
    for (const vec2<unsigned int>& corner : corners) {
        if (corner.x < 1 || corner.x > mesh.vertexCount) {
            return Shape::kLeftForTheBuilder;
        }
    }
    if (corners.size() < 3) {
        return Shape::kNoArea;
    }
    // Every face of every file passes here: most are small and simple, and are told
    // so without allocating.
    if (corners.size() <= 16) {
        bool repeated = false;
        for (std::uint32_t i = 0; i < corners.size() && !repeated; ++i) {
            for (std::uint32_t j = i + 1; j < corners.size() && !repeated; ++j) {
                repeated = corners[i].x == corners[j].x;
            }
        }
        if (!repeated) {
            return Shape::kSimple;
        }
    }
    std::vector<unsigned int> positions;
    for (const vec2<unsigned int>& corner : corners) {
        positions.push_back(corner.x);
    }
    std::sort(positions.begin(), positions.end());
    const auto distinct = std::unique(positions.begin(), positions.end()) - positions.begin();
    if (distinct < 3) {
        return Shape::kNoArea;
    }
    return distinct == static_cast<std::ptrdiff_t>(corners.size()) ? Shape::kSimple
                                                                   : Shape::kTouchesItself;
}

// The piece's positions, turned to start at the smallest: two pieces are the same
// polygon, the same way round, when these are equal.
std::vector<unsigned int> canonical(const Corners& piece) {
    std::vector<unsigned int> positions;
    for (const auto& corner : piece) {
        positions.push_back(corner.x);
    }
    std::rotate(positions.begin(), std::min_element(positions.begin(), positions.end()),
                positions.end());
    return positions;
}

// Cuts `face` at its first repeated position into the loop up to the repeat and the
// loop after it, and those again, until no piece repeats a position.
void cut(Corners face, std::vector<Corners>& simple, std::uint32_t& dropped) {
    std::vector<Corners> pending{std::move(face)};
    std::vector<std::vector<unsigned int>> seen;
    while (!pending.empty()) {
        Corners piece = std::move(pending.back());
        pending.pop_back();
        if (piece.size() < 3) {
            ++dropped;
            continue;
        }
        std::unordered_map<unsigned int, std::size_t> firstAt;
        std::size_t i = 0, j = 0;
        for (j = 0; j < piece.size(); ++j) {
            const auto at = firstAt.emplace(piece[j].x, j);
            if (!at.second) {
                i = at.first->second;
                break;
            }
        }
        if (j == piece.size()) {
            std::vector<unsigned int> key = canonical(piece);
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
                ++dropped;
            } else {
                seen.push_back(std::move(key));
                simple.push_back(std::move(piece));
            }
            continue;
        }
        // Both loops start at the repeated position and so keep it once each. The
        // second is pushed first so that the pieces come out in the face's order.
        Corners after(piece.begin() + j, piece.end());
        after.insert(after.end(), piece.begin(), piece.begin() + i);
        pending.push_back(std::move(after));
        pending.emplace_back(piece.begin() + i, piece.begin() + j);
    }
}

// Per-face labels of the pieces: each piece takes its face's.
void copyLabels(const boost::shared_array<std::uint32_t>& from,
                const std::vector<std::uint32_t>& faceOfPiece,
                boost::shared_array<std::uint32_t>& to) {
    if (!from) {
        return;
    }
    std::vector<std::uint32_t> labels;
    labels.reserve(faceOfPiece.size());
    for (std::uint32_t face : faceOfPiece) {
        labels.push_back(from[face]);
    }
    to = toSharedArray(labels);
}

}  // namespace

std::optional<CutFaces> cutFaces(const ObjMesh& mesh) {
    std::vector<Shape> shapes(mesh.faceCount);
    bool anyToChange = false;
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        shapes[face] = shapeOf(mesh, face);
        anyToChange |= shapes[face] == Shape::kTouchesItself || shapes[face] == Shape::kNoArea;
    }
    if (!anyToChange) {
        return std::nullopt;
    }

    CutFaces result{mesh};
    std::vector<vec2<unsigned int>> types;
    Corners corners;
    std::vector<std::uint32_t> faceOfPiece;
    const auto keep = [&](std::uint32_t face, const Corners& piece) {
        types.push_back({mesh.faceTypes[face].x, static_cast<unsigned int>(piece.size())});
        corners.insert(corners.end(), piece.begin(), piece.end());
        faceOfPiece.push_back(face);
    };
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        const ObjMesh::FaceCorners own = mesh.faceCorners(face);
        Corners faceCorners(own.begin(), own.end());
        switch (shapes[face]) {
            case Shape::kNoArea:
                ++result.droppedFaces;
                break;
            case Shape::kTouchesItself: {
                std::vector<Corners> pieces;
                cut(std::move(faceCorners), pieces, result.droppedPieces);
                ++result.cutFaces;
                result.keptPieces += static_cast<std::uint32_t>(pieces.size());
                for (const Corners& piece : pieces) {
                    keep(face, piece);
                }
                break;
            }
            default:
                // Unread faces keep their (absent) corners and their form.
                types.push_back(mesh.faceTypes[face]);
                corners.insert(corners.end(), faceCorners.begin(), faceCorners.end());
                faceOfPiece.push_back(face);
                break;
        }
    }

    ObjMesh& out = result.mesh;
    out.faceCount = static_cast<std::uint32_t>(types.size());
    out.cornerCount = corners.size();
    out.faceTypes = toSharedArray(types);
    out.corners = toSharedArray(corners);
    copyLabels(mesh.faceMaterials, faceOfPiece, out.faceMaterials);
    copyLabels(mesh.faceObjects, faceOfPiece, out.faceObjects);
    copyLabels(mesh.faceGroups, faceOfPiece, out.faceGroups);
    out.indexFaces();
    return result;
}

}  // namespace faceloom
