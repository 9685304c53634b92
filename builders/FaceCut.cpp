#include "FaceCut.h"

#include <algorithm>
#include <unordered_map>
#include <utility>
#include <vector>

#include "MeshTopology.h"

namespace faceloom {

namespace {

using Corners = std::vector<Corner>;

enum class Shape { kSimple, kTouchesItself, kNoArea, kLeftForTheBuilder };

Shape shapeOf(const ObjMesh& mesh, std::uint32_t face, std::vector<std::uint32_t>& positions) {
    if (mesh.faceTypes[face].form == kCornersUnread) {
        return Shape::kLeftForTheBuilder;
    }
    positions.clear();
    for (const Corner& corner : mesh.faceCorners(face)) {
        if (corner.position < 1 || corner.position > mesh.vertexCount()) {
            return Shape::kLeftForTheBuilder;
        }
        positions.push_back(corner.position);
    }
    if (positions.size() < 3) {
        return Shape::kNoArea;
    }
    if (firstRepeated(positions) == kNoneRepeated) {
        return Shape::kSimple;
    }
    std::sort(positions.begin(), positions.end());
    const auto distinct = std::unique(positions.begin(), positions.end()) - positions.begin();
    return distinct < 3 ? Shape::kNoArea : Shape::kTouchesItself;
}

// The piece's positions, turned to start at the smallest: two pieces are the same
// polygon, the same way round, when these are equal.
std::vector<unsigned int> canonical(const Corners& piece) {
    std::vector<unsigned int> positions;
    for (const auto& corner : piece) {
        positions.push_back(corner.position);
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
            const auto at = firstAt.emplace(piece[j].position, j);
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
std::vector<std::uint32_t> labelsOfPieces(const std::vector<std::uint32_t>& ofFace,
                                          const std::vector<std::uint32_t>& faceOfPiece) {
    std::vector<std::uint32_t> labels;
    if (!ofFace.empty()) {
        labels.reserve(faceOfPiece.size());
        for (std::uint32_t face : faceOfPiece) {
            labels.push_back(ofFace[face]);
        }
    }
    return labels;
}

}  // namespace

std::optional<CutFaces> cutFaces(const ObjMesh& mesh) {
    std::vector<Shape> shapes(mesh.faceCount());
    bool anyToChange = false;
    std::vector<std::uint32_t> scratch;
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        shapes[face] = shapeOf(mesh, face, scratch);
        anyToChange |= shapes[face] == Shape::kTouchesItself || shapes[face] == Shape::kNoArea;
    }
    if (!anyToChange) {
        return std::nullopt;
    }

    CutFaces result;
    ObjMesh& out = result.mesh;
    out = withFacesOf(mesh);
    out.positions = mesh.positions;
    out.uvs = mesh.uvs;
    out.faceTypes.clear();
    std::vector<std::uint32_t> faceOfPiece;
    const auto keep = [&](std::uint32_t face, const Corner* first, std::size_t count) {
        out.faceTypes.push_back({mesh.faceTypes[face].form, static_cast<std::uint32_t>(count)});
        out.corners.insert(out.corners.end(), first, first + count);
        faceOfPiece.push_back(face);
    };
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        const ObjMesh::FaceCorners own = mesh.faceCorners(face);
        if (shapes[face] == Shape::kNoArea) {
            ++result.droppedFaces;
        } else if (shapes[face] == Shape::kTouchesItself) {
            std::vector<Corners> pieces;
            cut(Corners(own.begin(), own.end()), pieces, result.droppedPieces);
            ++result.cutFaces;
            result.keptPieces += static_cast<std::uint32_t>(pieces.size());
            for (const Corners& piece : pieces) {
                keep(face, piece.data(), piece.size());
            }
        } else {
            // Unread faces keep their (absent) corners and their form.
            keep(face, own.begin(), own.size());
        }
    }
    out.faceMaterials = labelsOfPieces(mesh.faceMaterials, faceOfPiece);
    out.faceObjects = labelsOfPieces(mesh.faceObjects, faceOfPiece);
    out.faceGroups = labelsOfPieces(mesh.faceGroups, faceOfPiece);
    out.indexFaces();
    return result;
}

}  // namespace faceloom
