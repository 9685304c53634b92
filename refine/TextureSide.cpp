#include "TextureSide.h"

#include <string>

#include "SurfaceHandOver.h"
#include "SurfaceRefinement.h"
#include "UntexturedFacets.h"
#include "UvSmoothing.h"

namespace faceloom {

void TextureSide::build(const ObjMesh& faces, const SmoothingOptions& smoothing,
                        PhaseReporter& phases, Diagnostics& diagnostics) {
    phases.begin("Begin To Build Polyhedron UV\n", &PhaseTimes::build);
    {
        Polyhedron polyhedron;
        layout = buildTextureSurface(faces, polyhedron, diagnostics);
        rules = layoutRules(layout.faces(faces), polyhedron, smoothing);
        keepAlso(layout.keep, rules);
        limit.rules = rules;
        copyForRefinement(polyhedron, faces, surface, layout, diagnostics);
    }
    phases.finish();
    lineage.emplace(surface, layout.faces(faces), CornerSide::kTexture);
}

void TextureSide::refineAllButLast(int steps, PhaseReporter& phases) {
    if (steps > 1) {
        phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
        refineSurface(surface, *lineage, rules, {1, steps - 1, steps},
                      phases.stepsShown("Refining texture", steps));
        phases.pause();
    }
}

void TextureSide::refineLast(int steps, PhaseReporter& phases) {
    if (steps == 1) {
        phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    }
    limit.keepBeforeLast(surface);  // the limit reads the level before the last
    refineSurface(surface, *lineage, rules, {steps, steps, steps},
                  phases.stepsShown("Refining texture", steps));
    phases.finishSteps(steps);
}

bool TextureSide::pair(const std::optional<FacetPairing>& pairing, bool hasOutput,
                       const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                       RefinedMesh& mesh) {
    if (!hasOutput) {
        return layout.built;  // the builder said why it didn't build
    }
    const bool paired = layout.built && phases.quietly(&PhaseTimes::handOver, [&] {
        if (!takeTexture(surface, *lineage, *pairing, mesh) || !limit.takeTexture(mesh)) {
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
