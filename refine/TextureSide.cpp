#include "refine/TextureSide.h"

#include <string>

#include "output/UntexturedFacets.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "refine/UvSmoothing.h"

namespace faceloom {

void copyForRefinement(const Polyhedron& built, const ObjMesh& faces, SurfaceMesh& surface,
                       BuiltSurface& result, Diagnostics& diagnostics) {
    if (result.built && !copyIndexPreserving(built, surface)) {
        diagnostics.error("ERROR : The faces of [" + faces.sourcePath() +
                          "] don't link into a surface the refinement can take");
        result.built = false;
    }
}

void TextureSide::build(const ObjMesh& faces, const SmoothingOptions& smoothing,
                        PhaseReporter& phases, Diagnostics& diagnostics) {
    phases.begin("Begin To Build Polyhedron UV\n", &PhaseTimes::build);
    {
        Polyhedron polyhedron;
        layout = buildTextureSurface(faces, polyhedron, diagnostics);
        rules = layoutRules(layout.faces(faces), polyhedron, smoothing);
        keepAlso(layout.keep, rules);
        copyForRefinement(polyhedron, faces, surface, layout, diagnostics);
    }
    phases.finish();
    lineage.emplace(surface, layout.faces(faces), FacetLineage::Side::kTexture);
}

void TextureSide::refine(int steps, PhaseReporter& phases,
                         const std::function<void()>& beforeLastStep) {
    phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    const StepsShown shown = phases.stepsShown("Refining texture", steps);
    refineSurface(surface, *lineage, steps, rules, [&](int step, std::uint64_t facets) {
        if (step == steps && beforeLastStep) {
            beforeLastStep();
        }
        if (shown) {
            shown(step, facets);
        }
    });
    phases.finishSteps(steps);
}

bool TextureSide::pair(const std::optional<FacetPairing>& pairing, bool hasOutput,
                       const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                       RefinedMesh& mesh) {
    if (!hasOutput) {
        return layout.built;  // the builder said why it didn't build
    }
    const bool paired = layout.built && phases.quietly(&PhaseTimes::handOver, [&] {
        if (!takeTexture(surface, *lineage, *pairing, mesh)) {
            return false;
        }
        keepTextureOfTexturedFacets(mesh);
        return true;
    });
    if (!paired) {
        // Written without texture rather than with texture indices that name nothing.
        diagnostics.error(
            "ERROR : Texture coordinates dropped, their layout could not be refined with the "
            "mesh [" +
            std::string(outputName) + "]");
    }
    return paired;
}

}  // namespace faceloom
