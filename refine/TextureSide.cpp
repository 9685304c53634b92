#include "TextureSide.h"

#include <string>

#include "FacetPairing.h"
#include "LimitSurface.h"
#include "SurfaceHandOver.h"
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
        copyForRefinement(polyhedron, faces, surface, layout, diagnostics);
    }
    phases.finish();
    lineage.emplace(surface, layout.faces(faces), CornerSide::kTexture);
}

void TextureSide::refine(int steps, LevelPath levels, PhaseReporter& phases) {
    path = levels;
    phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    const StepsShown shown = phases.stepsShown("Refining texture", steps);
    if (refineOnPath(path, surface, *lineage, rules, steps, shown)) {
        computeLastUvs(surface, rules, lastUvs);
        if (limitSurface) {
            takeTextureLimits(surface, rules, lastUvs);
        }
    }
    phases.finishSteps(steps);
}

bool TextureSide::pair(const RefinedPositions& positions, bool hasOutput, const char* outputName,
                       PhaseReporter& phases, Diagnostics& diagnostics, RefinedMesh& mesh) {
    if (!hasOutput) {
        return layout.built;  // the builder said why it didn't build
    }
    const bool paired = layout.built && positions.lineage &&
                        phases.quietly(&PhaseTimes::handOver, [&] {
                            if (path == LevelPath::kLastComputed) {
                                mesh.uvs = std::move(lastUvs);
                            }
                            const bool taken =
                                path == LevelPath::kLastComputed
                                    ? pairLastTexture(surface, *lineage, positions.parents, mesh)
                                    : takeTexture(surface, *lineage,
                                                  FacetPairing(*positions.lineage), mesh);
                            if (!taken) {
                                mesh.uvs = {};
                            }
                            if (taken) {
                                keepTextureOfTexturedFacets(mesh);
                            }
                            return taken;
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
