#include "app/RunSubdivision.h"

#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "builders/Polyhedron.h"
#include "builders/RepairingBuild.h"
#include "console/DeferredDiagnostics.h"
#include "output/MergedObjWriter.h"
#include "output/OutputFile.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceMesh.h"
#include "refine/SurfaceRefinement.h"

namespace faceloom {

namespace {

// Builds a surface with the repairing builder `build` and copies it, index for index,
// into `surface` for the refinement. The built polyhedron is released at once. A
// surface that didn't build stays empty.
BuiltSurface buildSurface(BuiltSurface (*build)(const ObjMesh&, Polyhedron&, Diagnostics&),
                          const ObjMesh& faces, SurfaceMesh& surface, Diagnostics& diagnostics) {
    Polyhedron polyhedron;
    BuiltSurface built = build(faces, polyhedron, diagnostics);
    if (built.built) {
        copyIndexPreserving(polyhedron, surface);
    }
    return built;
}

// The texture layout: its surface, built from the faces the positions were built
// from, and the lineage of its refinement.
struct TextureSide {
    SurfaceMesh surface;
    BuiltSurface layout;
    std::optional<FacetLineage> lineage;
};

void buildTexture(const ObjMesh& faces, TextureSide& side, PhaseReporter& phases,
                  Diagnostics& diagnostics) {
    phases.begin("Begin To Build Polyhedron UV\n", &PhaseTimes::build);
    side.layout = buildSurface(&buildTextureSurface, faces, side.surface, diagnostics);
    phases.finish();
    side.lineage.emplace(side.surface, side.layout.faces(faces), FacetLineage::Side::kTexture);
}

void refineTexture(TextureSide& side, int steps, PhaseReporter& phases) {
    phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    refineSurface(side.surface, *side.lineage, steps);
    phases.finishSteps(steps);
}

// Pairs the refined texture layout with the refined positions.
void pairTexture(TextureSide& side, const std::optional<FacetPairing>& pairing,
                 const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                 Refinement& result) {
    if (!side.layout.built) {
        result.clean = false;  // the builder said why
    }
    if (!result.hasOutput) {
        return;
    }
    const bool paired = side.layout.built && phases.quietly(&PhaseTimes::handOver, [&] {
        return takeTexture(side.surface, *side.lineage, *pairing, result.mesh);
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

Refinement refineMesh(const ObjMesh& mesh, int steps, const char* outputName, PhaseReporter& phases,
                      Diagnostics& diagnostics, SurfaceOverlap overlap,
                      const std::function<void(const RefinedMesh&)>& positionsReady) {
    Refinement result;
    auto positionSurface = std::make_unique<SurfaceMesh>();
    phases.begin("Begin To Build Polyhedron Mesh\n", &PhaseTimes::build);
    const BuiltSurface built =
        buildSurface(&buildPositionSurface, mesh, *positionSurface, diagnostics);
    phases.finish();
    result.hasOutput = built.built;
    const ObjMesh& faces = built.faces(mesh);
    const bool textured = mesh.uvCount != 0;

    // Both at once: the texture layout is built now and refined on a second thread
    // while this one refines the positions and hands them on. Its messages are kept
    // and shown where the console has always shown them, after the positions'.
    auto texture = std::make_unique<TextureSide>();
    DeferredDiagnostics textureMessages;
    PhaseReporter texturePhases(textureMessages, phases.times());
    std::future<void> textureRefined;  // waits for the thread in its destructor
    const bool together = textured && overlap == SurfaceOverlap::kBothAtOnce;
    if (together) {
        buildTexture(faces, *texture, texturePhases, textureMessages);
        textureRefined =
            std::async(std::launch::async, [&] { refineTexture(*texture, steps, texturePhases); });
    }

    std::optional<FacetPairing> pairing;
    FacetLineage lineage(*positionSurface, faces, FacetLineage::Side::kPositions);
    phases.begin("Begin To Subdividing Mesh\n", &PhaseTimes::refinePositions);
    refineSurface(*positionSurface, lineage, steps);
    phases.finishSteps(steps);
    if (result.hasOutput) {
        phases.quietly(&PhaseTimes::handOver, [&] {
            takePositions(*positionSurface, &lineage, result.mesh);
            if (textured) {
                pairing.emplace(lineage);
            }
            if ((faces.faceMaterials || !faces.materialLibraries.empty()) &&
                !takeMaterials(faces, lineage, outputName, result.mesh)) {
                diagnostics.error(
                    "ERROR : Materials dropped, the refined facets could not be traced to "
                    "their faces [" +
                    std::string(outputName) + "]");
                result.clean = false;
            }
        });
    }
    positionSurface.reset();
    if (result.hasOutput && positionsReady) {
        positionsReady(result.mesh);
    }

    if (textured) {
        if (together) {
            textureRefined.get();  // rethrows what the thread threw
            textureMessages.replay(diagnostics);
        } else {
            buildTexture(faces, *texture, phases, diagnostics);
            refineTexture(*texture, steps, phases);
        }
        pairTexture(*texture, pairing, outputName, phases, diagnostics, result);
    }
    if (!result.hasOutput) {
        result.clean = false;  // the builder said why
    }
    return result;
}

bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, Diagnostics& diagnostics,
                    PhaseTimes* times) {
    try {
        const MemoryAmounts available = availableMemory();
        const std::string refusal = memoryRefusal(mesh, steps, available);
        if (!refusal.empty()) {
            diagnostics.error(refusal);
            return false;
        }
        PhaseReporter phases(diagnostics, times);
        // The file is opened only once there is something to write, and its first
        // block written while the texture may still be refining. Should anything
        // fail later, the unfinished file is removed with `file`.
        std::optional<OutputFile> file;
        std::optional<MergedObjWriter> writer;
        bool writing = false;
        const auto writePositions = [&](const RefinedMesh& refined) {
            phases.quietly(&PhaseTimes::write, [&] {
                file.emplace(outputPath);
                writer.emplace(*file);
                writing = file->open() && writer->writePositions(refined);
            });
        };
        const Refinement refinement =
            refineMesh(mesh, steps, outputPath, phases, diagnostics,
                       chooseOverlap(mesh, steps, available), writePositions);
        if (!refinement.hasOutput) {
            return false;  // nothing to write: the output path stays as it was
        }
        const bool written = phases.quietly(&PhaseTimes::write, [&] {
            return writing && writer->writeRest(refinement.mesh) && file->commit();
        });
        if (!written) {
            diagnostics.error("ERROR : Can't write to [" + std::string(outputPath) + "]");
        }
        return written && refinement.clean;
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        return false;
    }
}

}  // namespace faceloom
