#include "ObjMesh.h"

namespace faceloom {

void ObjMesh::indexFaces() {
    faceStarts.resize(faceTypes.size() + 1);
    std::uint64_t start = 0;
    for (std::size_t face = 0; face < faceTypes.size(); ++face) {
        faceStarts[face] = start;
        start += faceTypes[face].count;
    }
    faceStarts[faceTypes.size()] = start;
}

ObjMesh withFacesOf(const ObjMesh& mesh) {
    ObjMesh copy;
    copy.faceTypes = mesh.faceTypes;
    copy.faceStarts = mesh.faceStarts;
    copy.materialLibraries = mesh.materialLibraries;
    copy.materialNames = mesh.materialNames;
    copy.faceMaterials = mesh.faceMaterials;
    copy.objectNames = mesh.objectNames;
    copy.groupNames = mesh.groupNames;
    copy.faceObjects = mesh.faceObjects;
    copy.faceGroups = mesh.faceGroups;
    copy.sourcePath = mesh.sourcePath;
    return copy;
}

}  // namespace faceloom
