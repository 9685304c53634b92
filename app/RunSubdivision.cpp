#include "app/RunSubdivision.h"

#include <exception>
#include <optional>
#include <string>

#include "builders/Polyhedron.h"
#include "builders/RepairingBuild.h"
#include "output/MergedObjWriter.h"
#include "output/OutputFile.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceRefinement.h"
#include "system/MemoryBudget.h"

namespace faceloom {

namespace {

// What the texture side needs of the position side once the position surface is gone.
struct PositionSide {
    BuiltSurface built;                   // the faces the surface was built from
    std::optional<FacetPairing> pairing;  // when there is a texture to pair with
};

// Builds the position surface, refines it and hands it over with the materials.
PositionSide refinePositions(const ObjMesh& mesh, int steps, const char* outputName,
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
    refineSurface(surface, lineage, steps);
    phases.finishSteps(steps);
    if (!result.hasOutput) {
        return side;
    }

    phases.quietly(&PhaseTimes::handOver, [&] {
        takePositions(surface, &lineage, result.mesh);
        if (mesh.uvCount != 0) {
            side.pairing.emplace(lineage);
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
                   const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                   Refinement& result) {
    Polyhedron surface;
    phases.begin("Begin To Build Polyhedron UV\n", &PhaseTimes::build);
    const BuiltSurface layout = buildTextureSurface(faces, surface, diagnostics);
    phases.finish();

    FacetLineage lineage(surface, layout.faces(faces), FacetLineage::Side::kTexture);
    phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    refineSurface(surface, lineage, steps);
    phases.finishSteps(steps);
    if (!layout.built) {
        result.clean = false;  // the builder said why
    }
    if (!result.hasOutput) {
        return;
    }
    const bool paired = layout.built && phases.quietly(&PhaseTimes::handOver, [&] {
        return takeTexture(surface, lineage, *pairing, result.mesh);
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

bool writeOutput(const RefinedMesh& refined, const char* outputPath, Diagnostics& diagnostics) {
    OutputFile file(outputPath);
    if (!file.open() || !writeMergedObj(refined, file) || !file.commit()) {
        diagnostics.error("ERROR : Can't write to [" + std::string(outputPath) + "]");
        return false;
    }
    return true;
}

}  // namespace

Refinement refineMesh(const ObjMesh& input, int steps, const char* outputName,
                      PhaseReporter& phases, Diagnostics& diagnostics) {
    Refinement result;
    const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
    const ObjMesh& mesh = simple ? *simple : input;
    // Only one refined surface is held at a time: the position surface is handed over
    // and released before the texture surface is built.
    const PositionSide positions =
        refinePositions(mesh, steps, outputName, phases, diagnostics, result);
    if (mesh.uvCount != 0) {
        refineTexture(positions.built.faces(mesh), positions.pairing, steps, outputName, phases,
                      diagnostics, result);
    }
    if (!result.hasOutput) {
        result.clean = false;  // the builder said why
    }
    return result;
}

bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, Diagnostics& diagnostics,
                    PhaseTimes* times) {
    try {
        const std::string refusal = memoryRefusal(mesh, steps, availableMemory());
        if (!refusal.empty()) {
            diagnostics.error(refusal);
            return false;
        }
        PhaseReporter phases(diagnostics, times);
        const Refinement refinement = refineMesh(mesh, steps, outputPath, phases, diagnostics);
        if (!refinement.hasOutput) {
            return false;  // nothing to write: the output path stays as it was
        }
        const bool written = phases.quietly(&PhaseTimes::write, [&] {
            return writeOutput(refinement.mesh, outputPath, diagnostics);
        });
        return written && refinement.clean;
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        return false;
    }
}

}  // namespace faceloom
