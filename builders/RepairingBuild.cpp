#include "builders/RepairingBuild.h"

#include <string>

#include "builders/FaceCut.h"
#include "builders/FaceOrientationRepair.h"
#include "builders/PlaneBuilder.h"
#include "builders/TextureSeamSplit.h"
#include "builders/TriQuadBuilder.h"

namespace faceloom {

namespace {

// Another face list to build from, and the warning to print when it builds.
struct Repair {
    ObjMesh mesh;
    std::string warning;
};

std::optional<Repair> orientedFaces(const ObjMesh& mesh) {
    std::optional<OrientedFaces> oriented = orientFaces(mesh);
    if (!oriented) {
        return std::nullopt;
    }
    std::string warning = "Warning : Turned " + std::to_string(oriented->turnedFaces) +
                          " faces and split " + std::to_string(oriented->splitVertices) +
                          " vertices of [" + mesh.sourcePath() + "] to build its surface\n";
    if (oriented->splitEdges != 0) {
        warning += "Warning : Parted the faces at " + std::to_string(oriented->splitEdges) +
                   " edges shared by three or more faces of [" + mesh.sourcePath() +
                   "] to build its surface\n";
    }
    return Repair{std::move(oriented->mesh), std::move(warning)};
}

std::optional<Repair> splitLayout(const ObjMesh& mesh) {
    std::optional<SplitTexture> split = splitTextureSeams(mesh);
    if (!split) {
        return std::nullopt;
    }
    return Repair{std::move(split->mesh),
                  "Warning : Split " + std::to_string(split->sharedBefore) +
                      " shared texture coordinates into " + std::to_string(split->after) +
                      " to build the texture layout of [" + mesh.sourcePath() + "]\n"};
}

template <template <class> class Builder>
BuiltSurface buildWithRepair(const ObjMesh& mesh, Polyhedron& surface, Diagnostics& diagnostics,
                             std::optional<Repair> (*repair)(const ObjMesh&)) {
    BuiltSurface result;
    Builder<HDS> plain(&mesh, diagnostics, /*verbose=*/false);
    surface.delegate(plain);
    if (plain.succeeded()) {
        result.built = true;
        return result;
    }
    if (plain.outcome() != BuildOutcome::kRejected) {
        return result;  // reported already; no other face list can help
    }
    if (std::optional<Repair> fixed = repair(mesh)) {
        Builder<HDS> builder(&fixed->mesh, diagnostics, /*verbose=*/false);
        surface.delegate(builder);
        if (builder.succeeded()) {
            diagnostics.progress(fixed->warning);
            result.built = true;
            result.repaired = std::move(fixed->mesh);
            return result;
        }
    }
    Builder<HDS> reporting(&mesh, diagnostics, /*verbose=*/true);
    surface.delegate(reporting);
    return result;
}

}  // namespace

std::optional<ObjMesh> simplePolygons(const ObjMesh& mesh, Diagnostics& diagnostics) {
    std::optional<CutFaces> cut = cutFaces(mesh);
    if (!cut) {
        return std::nullopt;
    }
    const std::string path = " of [" + mesh.sourcePath() + "]";
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
    return buildWithRepair<TriQuadBuilder>(mesh, surface, diagnostics, &orientedFaces);
}

BuiltSurface buildTextureSurface(const ObjMesh& faces, Polyhedron& surface,
                                 Diagnostics& diagnostics) {
    return buildWithRepair<PlaneBuilder>(faces, surface, diagnostics, &splitLayout);
}

}  // namespace faceloom
