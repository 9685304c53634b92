#include "LastLevelLimit.h"

namespace faceloom {

void LastLevelLimit::keepBeforeLast(const SurfaceMesh& surface) {
    if (options.any()) {
        beforeLast.emplace(surface);
    }
}

bool LastLevelLimit::takePositions(RefinedMesh& mesh) {
    bool taken = true;
    if (options.any()) {
        taken = beforeLast &&
                takePositionLimits(*beforeLast, rules, options, mesh.positions, mesh.normals);
        mesh.withNormals = taken && options.normals;
    }
    beforeLast.reset();
    return taken;
}

bool LastLevelLimit::takeTexture(RefinedMesh& mesh) {
    bool taken = true;
    if (options.limitSurface) {
        taken = beforeLast && takeTextureLimits(*beforeLast, rules, mesh.uvs);
    }
    beforeLast.reset();
    return taken;
}

}  // namespace faceloom
