#include "refine/PositionSide.h"

#include <string>

#include "builders/TextureLayout.h"
#include "refine/FacetLineage.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "refine/UvSmoothing.h"

namespace faceloom {

RefinedPositions refinePositions(SurfaceMesh& surface, const ObjMesh& faces, bool withTexture,
                                 int steps, const SmoothingOptions& smoothing, bool handOver,
                                 const char* outputName, PhaseReporter& phases,
                                 Diagnostics& diagnostics, RefinedMesh& mesh) {
    RefinedPositions result;
    FacetLineage lineage(surface, faces, FacetLineage::Side::kPositions);
    phases.begin("Begin To Subdividing Mesh\n", &PhaseTimes::refinePositions);
    refineSurface(surface, lineage, steps, positionRules(smoothing),
                  phases.stepsShown("Refining positions", steps));
    phases.finishSteps(steps);
    if (!handOver) {
        return result;
    }
    phases.quietly(&PhaseTimes::handOver, [&] {
        takePositions(surface, &lineage, mesh);
        if (withTexture) {
            result.pairing.emplace(lineage);
            takeTexturedFacets(texturedFaces(faces), lineage, mesh);
        }
        if ((faces.faceMaterials || !faces.materialLibraries.empty() || faces.faceObjects ||
             faces.faceGroups) &&
            !takeMaterials(faces, lineage, outputName, mesh)) {
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
