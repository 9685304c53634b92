#include "PositionSide.h"

#include <string>
#include <utility>

#include "LastLevel.h"
#include "SurfaceHandOver.h"
#include "TextureLayout.h"
#include "UvSmoothing.h"

namespace faceloom {

void PositionSide::build(const ObjMesh& mesh, PhaseReporter& phases, Diagnostics& diagnostics) {
    phases.begin("Begin To Build Polyhedron Mesh\n", &PhaseTimes::build);
    {
        Polyhedron polyhedron;
        built = buildPositionSurface(mesh, polyhedron, diagnostics);
        copyForRefinement(polyhedron, mesh, surface, built, diagnostics);
    }
    phases.finish();
    lineage.emplace(surface, built.faces(mesh), CornerSide::kPosition);
}

void PositionSide::refine(int steps, const SmoothingOptions& smoothing, LevelPath levels,
                          PhaseReporter& phases, RefinedMesh& mesh) {
    path = levels;
    phases.begin("Begin To Subdividing Mesh\n", &PhaseTimes::refinePositions);
    const RefinementRules rules = positionRules(smoothing);
    const StepsShown shown = phases.stepsShown("Refining positions", steps);
    if (refineOnPath(path, surface, *lineage, rules, steps, shown)) {
        computeLastPositions(surface, rules, *lineage, mesh, parents, inputFaces);
        if (limit.any()) {
            takePositionLimits(surface, rules, limit, mesh.positions, mesh.normals);
            mesh.withNormals = limit.normals;
        }
        surface = SurfaceMesh();
    }
    phases.finishSteps(steps);
}

RefinedPositions PositionSide::handOver(const ObjMesh& faces, bool withTexture,
                                        const char* outputName, PhaseReporter& phases,
                                        Diagnostics& diagnostics, RefinedMesh& mesh) {
    RefinedPositions result;
    if (!built.built) {
        mesh = RefinedMesh{};
        return result;
    }
    phases.quietly(&PhaseTimes::handOver, [&] {
        if (path == LevelPath::kLastComputed || takePositions(surface, *lineage, mesh)) {
            if (path == LevelPath::kAllBuilt) {
                inputFaces = lineage->inputFaces();
            }
            if (withTexture) {
                takeTexturedFacets(texturedFaces(faces), inputFaces, mesh);
            }
            if (faces.hasLabels() && !takeMaterials(faces, inputFaces, mesh)) {
                diagnostics.error(
                    "ERROR : Materials dropped, the refined facets could not be traced to "
                    "their faces [" +
                    std::string(outputName) + "]");
                result.clean = false;
            }
            inputFaces = {};
            result.lineage = std::move(lineage);
            result.parents = std::move(parents);
            return;
        }
        diagnostics.error("ERROR : The refined facets of [" + faces.sourcePath +
                          "] could not be traced to their faces: nothing written");
        built.built = false;
        result.clean = false;
    });
    return result;
}

}  // namespace faceloom
