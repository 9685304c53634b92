#include "PositionSide.h"

#include <string>

#include "SurfaceHandOver.h"
#include "SurfaceRefinement.h"
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

void PositionSide::refine(int steps, const SmoothingOptions& smoothing, PhaseReporter& phases) {
    phases.begin("Begin To Subdividing Mesh\n", &PhaseTimes::refinePositions);
    const RefinementRules rules = positionRules(smoothing);
    const StepsShown shown = phases.stepsShown("Refining positions", steps);
    if (limit.options.any()) {
        // The limit reads the level before the last.
        refineSurface(surface, *lineage, rules, {1, steps - 1, steps}, shown);
        limit.rules = rules;
        limit.keepBeforeLast(surface);
        refineSurface(surface, *lineage, rules, {steps, steps, steps}, shown);
    } else {
        refineSurface(surface, *lineage, rules, {1, steps, steps}, shown);
    }
    phases.finishSteps(steps);
}

RefinedPositions PositionSide::handOver(const ObjMesh& faces, bool withTexture,
                                        const char* outputName, PhaseReporter& phases,
                                        Diagnostics& diagnostics, RefinedMesh& mesh) {
    RefinedPositions result;
    if (!built.built) {
        return result;
    }
    phases.quietly(&PhaseTimes::handOver, [&] {
        if (!takePositions(surface, *lineage, mesh)) {
            diagnostics.error("ERROR : The refined facets of [" + faces.sourcePath +
                              "] could not be traced to their faces: nothing written");
            built.built = false;
            result.clean = false;
            return;
        }
        if (!limit.takePositions(mesh)) {
            diagnostics.error("ERROR : The limit surface of [" + faces.sourcePath +
                              "] could not be read off its refined levels: nothing written");
            built.built = false;
            result.clean = false;
            return;
        }
        if (withTexture) {
            result.pairing.emplace(*lineage);
            takeTexturedFacets(texturedFaces(faces), *lineage, mesh);
        }
        if (faces.hasLabels() && !takeMaterials(faces, *lineage, mesh)) {
            diagnostics.error(
                "ERROR : Materials dropped, the refined facets could not be traced to their "
                "faces [" +
                std::string(outputName) + "]");
            result.clean = false;
        }
    });
    return result;
}

}  // namespace faceloom
