#include "app/RunSubdivision.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "builders/InputLimits.h"
#include "builders/Polyhedron.h"
#include "builders/RepairingBuild.h"
#include "builders/TextureLayout.h"
#include "output/MergedObjWriter.h"
#include "output/UntexturedFacets.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "refine/UvSmoothing.h"
#include "system/MemoryBudget.h"

namespace faceloom {

namespace {

// What the texture side needs of the position side once the position surface is gone.
struct PositionSide {
    BuiltSurface built;                   // the faces the surface was built from
    std::optional<FacetPairing> pairing;  // when there is a texture to pair with
};

// Builds the position surface, refines it and hands it over with the materials.
PositionSide refinePositions(const ObjMesh& mesh, bool withTexture, int steps,
                             const SmoothingOptions& smoothing, const char* outputName,
                             PhaseReporter& phases, Diagnostics& diagnostics, Refinement& result) {
    PositionSide side;
    Polyhedron surface;
    phases.begin("Begin To Build Polyhedron Mesh\n", &PhaseTimes::build);
    side.built = buildPositionSurface(mesh, surface, diagnostics);
    phases.finish();
    result.hasOutput = side.built.built;

    const ObjMesh& faces = side.built.faces(mesh);
    FacetLineage lineage(surface, faces, FacetLineage::Side::kPositions);
    phases.begin("Begin To Subdividing Mesh\n", &PhaseTimes::refinePositions);
    refineSurface(surface, lineage, steps, positionRules(smoothing));
    phases.finishSteps(steps);
    if (!result.hasOutput) {
        return side;
    }

    phases.quietly(&PhaseTimes::handOver, [&] {
        takePositions(surface, &lineage, result.mesh);
        if (withTexture) {
            side.pairing.emplace(lineage);
            // Facets of faces without texture are written without, the others with it.
            const std::vector<bool> textured = texturedFaces(faces);
            if (!textured.empty()) {
                for (std::uint32_t face : lineage.inputFaces()) {
                    result.mesh.facetTextured.push_back(textured[face]);
                }
            }
        }
        if ((faces.faceMaterials || !faces.materialLibraries.empty() || faces.faceObjects ||
             faces.faceGroups) &&
            !takeMaterials(faces, lineage, outputName, result.mesh)) {
            diagnostics.error(
                "ERROR : Materials dropped, the refined facets could not be traced to their "
                "faces [" +
                std::string(outputName) + "]");
            result.clean = false;
        }
    });
    return side;
}

// Builds the texture layout from the faces the positions were built from, refines it
// by the same steps and pairs it with the refined positions.
void refineTexture(const ObjMesh& faces, const std::optional<FacetPairing>& pairing, int steps,
                   const SmoothingOptions& smoothing, const char* outputName, PhaseReporter& phases,
                   Diagnostics& diagnostics, Refinement& result) {
    Polyhedron surface;
    phases.begin("Begin To Build Polyhedron UV\n", &PhaseTimes::build);
    const BuiltSurface layout = buildTextureSurface(faces, surface, diagnostics);
    phases.finish();

    FacetLineage lineage(surface, layout.faces(faces), FacetLineage::Side::kTexture);
    phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    RefinementRules rules = layoutRules(layout.faces(faces), surface, smoothing);
    keepAlso(layout.keep, rules);
    refineSurface(surface, lineage, steps, rules);
    phases.finishSteps(steps);
    if (!layout.built) {
        result.clean = false;  // the builder said why
    }
    if (!result.hasOutput) {
        return;
    }
    const bool paired = layout.built && phases.quietly(&PhaseTimes::handOver, [&] {
        if (!takeTexture(surface, lineage, *pairing, result.mesh)) {
            return false;
        }
        keepTextureOfTexturedFacets(result.mesh);
        return true;
    });
    if (!paired) {
        // Written without texture rather than with texture indices that name nothing.
        diagnostics.error(
            "ERROR : Texture coordinates dropped, their layout could not be refined with the "
            "mesh [" +
            std::string(outputName) + "]");
        result.clean = false;
    }
}

}  // namespace

Refinement refineMesh(const ObjMesh& input, int steps, const SmoothingOptions& smoothing,
                      const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics) {
    Refinement result;
    const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
    const ObjMesh& mesh = simple ? *simple : input;
    // Only one refined surface is held at a time: the position surface is handed over
    // and released before the texture surface is built.
    const bool withTexture = refinesTexture(mesh, diagnostics);
    const PositionSide positions = refinePositions(mesh, withTexture, steps, smoothing, outputName,
                                                   phases, diagnostics, result);
    if (withTexture) {
        refineTexture(positions.built.faces(mesh), positions.pairing, steps, smoothing, outputName,
                      phases, diagnostics, result);
    }
    if (result.hasOutput && !isFinite(result.mesh, mesh.sourcePath(), diagnostics)) {
        result.hasOutput = false;
    }
    if (!result.hasOutput) {
        result.clean = false;  // the builder said why
    }
    return result;
}

bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps,
                    const SmoothingOptions& smoothing, Diagnostics& diagnostics,
                    PhaseTimes* times) {
    try {
        std::string refusal = inputLimitRefusal(mesh);
        if (refusal.empty()) {
            refusal = memoryRefusal(mesh, steps, availableMemory());
        }
        if (!refusal.empty()) {
            diagnostics.error(refusal);
            return false;
        }
        PhaseReporter phases(diagnostics, times);
        const Refinement refinement =
            refineMesh(mesh, steps, smoothing, outputPath, phases, diagnostics);
        if (!refinement.hasOutput) {
            return false;  // nothing to write: the output path stays as it was
        }
        const bool written = phases.quietly(&PhaseTimes::write, [&] {
            return writeMergedObjFile(refinement.mesh, outputPath, diagnostics);
        });
        return written && refinement.clean;
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        return false;
    }
}

}  // namespace faceloom
