#include "RepairingBuild.h"

#include <algorithm>
#include <string>

#include "FaceCut.h"
#include "FaceOrientationRepair.h"
#include "PlaneBuilder.h"
#include "TextureLayout.h"
#include "TriQuadBuilder.h"
#include "VertexFanSplit.h"

namespace faceloom {

namespace {

template <template <class> class Builder>
bool buildQuietly(const ObjMesh& mesh, Polyhedron& surface, Diagnostics& diagnostics,
                  BuildOutcome* outcome = nullptr) {
    Builder<HDS> builder(&mesh, diagnostics, /*verbose=*/false);
    surface.delegate(builder);
    if (outcome != nullptr) {
        *outcome = builder.outcome();
    }
    return builder.succeeded();
}

template <template <class> class Builder>
void buildReporting(const ObjMesh& mesh, Polyhedron& surface, Diagnostics& diagnostics) {
    Builder<HDS> builder(&mesh, diagnostics, /*verbose=*/true);
    surface.delegate(builder);
}

// The warnings for what was done to build the surface: faces turned and vertices
// split (those at parted edges aside), then edges parted; each only when it happened.
void reportSurfaceRepair(std::size_t turned, std::size_t split, std::uint64_t partedEdges,
                         const ObjMesh& mesh, Diagnostics& diagnostics) {
    const std::string of = " of [" + mesh.sourcePath + "] to build its surface\n";
    if (turned != 0 || split != 0) {
        diagnostics.progress("Warning : Turned " + std::to_string(turned) + " faces and split " +
                             std::to_string(split) + " vertices" + of);
    }
    if (partedEdges != 0) {
        diagnostics.progress("Warning : Parted the faces at " + std::to_string(partedEdges) +
                             " edges shared by three or more faces" + of);
    }
}

bool namesMissingTexture(const ObjMesh& faces) {
    for (std::uint32_t face = 0; face < faces.faceCount(); ++face) {
        if (faces.faceTypes[face].form != kCornersUnread && !faceHasTexture(faces, face)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<ObjMesh> simplePolygons(const ObjMesh& mesh, Diagnostics& diagnostics) {
    std::optional<CutFaces> cut = cutFaces(mesh);
    if (!cut) {
        return std::nullopt;
    }
    const std::string path = " of [" + mesh.sourcePath + "]";
    if (cut->droppedFaces != 0) {
        diagnostics.progress("Warning : Dropped " + std::to_string(cut->droppedFaces) + " faces" +
                             path + " with fewer than 3 distinct corners: they enclose no area\n");
    }
    if (cut->cutFaces != 0) {
        diagnostics.progress("Warning : Cut " + std::to_string(cut->cutFaces) + " faces" + path +
                             " where they pass through a vertex twice into " +
                             std::to_string(cut->keptPieces) + " faces, dropping " +
                             std::to_string(cut->droppedPieces) +
                             " pieces of fewer than 3 corners or repeated\n");
    }
    return std::move(cut->mesh);
}

BuiltSurface buildPositionSurface(const ObjMesh& mesh, Polyhedron& surface,
                                  Diagnostics& diagnostics) {
    BuiltSurface result;
    // Parts touching at a vertex are split whether or not CGAL would link them: linked,
    // the vertex would be smoothed from both parts.
    std::optional<SplitFans> split = splitVertexFans(mesh);
    const ObjMesh& faces = split ? split->mesh : mesh;
    const std::size_t splitVertices = split ? split->splitVertices : 0;
    const std::uint64_t partedEdges = split ? split->partedEdges : 0;
    BuildOutcome outcome;
    if (buildQuietly<TriQuadBuilder>(faces, surface, diagnostics, &outcome)) {
        result.built = true;
        if (split) {
            reportSurfaceRepair(0, splitVertices, partedEdges, mesh, diagnostics);
            result.repaired = std::move(split->mesh);
        }
        return result;
    }
    if (outcome != BuildOutcome::kRejected) {
        return result;  // reported already; no other face list can help
    }
    if (std::optional<OrientedFaces> oriented = orientFaces(faces)) {
        if (buildQuietly<TriQuadBuilder>(oriented->mesh, surface, diagnostics)) {
            reportSurfaceRepair(oriented->turnedFaces, splitVertices + oriented->splitVertices,
                                partedEdges + oriented->splitEdges, mesh, diagnostics);
            result.built = true;
            result.repaired = std::move(oriented->mesh);
            return result;
        }
    }
    buildReporting<TriQuadBuilder>(mesh, surface, diagnostics);
    return result;
}

BuiltSurface buildTextureSurface(const ObjMesh& faces, Polyhedron& surface,
                                 Diagnostics& diagnostics) {
    BuiltSurface result;
    std::optional<TextureLayout> layout = layoutFromConnectivity(faces);
    if (!layout) {
        // Faces that are no polygons: the position surface has failed and said why.
        // Of the texture side, only texture indices that name nothing are reported too.
        BuildOutcome outcome;
        result.built = buildQuietly<PlaneBuilder>(faces, surface, diagnostics, &outcome);
        if (outcome == BuildOutcome::kRejected && namesMissingTexture(faces)) {
            buildReporting<PlaneBuilder>(faces, surface, diagnostics);
        }
        return result;
    }
    const std::string in = "[" + faces.sourcePath + "]";
    if (layout->brokenFaces != 0) {
        diagnostics.progress("Warning : Wrote " + std::to_string(layout->brokenFaces) +
                             " faces of " + in +
                             " without texture: they don't name an existing texture "
                             "coordinate at every corner\n");
    }
    if (layout->repeatingFaces != 0) {
        diagnostics.progress("Warning : Gave each corner of " +
                             std::to_string(layout->repeatingFaces) + " faces of " + in +
                             " that name one texture coordinate twice its own copy of it, to "
                             "build the texture layout\n");
    }
    BuildOutcome outcome;
    if (buildQuietly<PlaneBuilder>(layout->mesh, surface, diagnostics, &outcome)) {
        result.built = true;
        result.repaired = std::move(layout->mesh);
        if (std::find(layout->keep.begin(), layout->keep.end(), true) != layout->keep.end()) {
            result.keep = std::move(layout->keep);
        }
        return result;
    }
    if (outcome != BuildOutcome::kRejected) {
        return result;  // reported already; no other layout can help
    }
    // Built from the same fans as the position surface, the layout should always
    // link; should CGAL still refuse it, the texture is kept face by face rather than
    // dropped.
    ObjMesh islands = faceIslands(layout->mesh);
    if (buildQuietly<PlaneBuilder>(islands, surface, diagnostics)) {
        diagnostics.progress("Warning : Cut the texture layout of " + in +
                             " into one island per face to refine it\n");
        result.built = true;
        result.repaired = std::move(islands);
        return result;
    }
    buildReporting<PlaneBuilder>(islands, surface, diagnostics);
    return result;
}

}  // namespace faceloom
