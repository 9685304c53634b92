#include "app/RunSubdivision.h"

#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "builders/InputLimits.h"
#include "builders/RepairingBuild.h"
#include "builders/TextureLayout.h"
#include "console/DeferredDiagnostics.h"
#include "output/MergedObjWriter.h"
#include "output/OutputFile.h"
#include "refine/PositionSide.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceMesh.h"
#include "refine/TextureSide.h"

namespace faceloom {

namespace {

// Builds the position surface of `mesh` and copies it into `positions`, the surface
// that is refined; the built polyhedron is released before the phase ends.
BuiltSurface buildPositions(const ObjMesh& mesh, SurfaceMesh& positions, PhaseReporter& phases,
                            Diagnostics& diagnostics) {
    phases.begin("Begin To Build Polyhedron Mesh\n", &PhaseTimes::build);
    BuiltSurface built;
    {
        Polyhedron polyhedron;
        built = buildPositionSurface(mesh, polyhedron, diagnostics);
        copyForRefinement(polyhedron, mesh, positions, built, diagnostics);
    }
    phases.finish();
    return built;
}

// Refines `texture` on a second thread, its messages kept in `messages` (which
// `phases` reports to), its last step held until `room` is given (or broken, which
// ends the thread by an exception, without that step). That step's status is shown
// on `console` as it runs: by then this thread has shown all it has to show before
// the texture's messages.
std::future<void> refineBeside(TextureSide& texture, int steps, PhaseReporter& phases,
                               DeferredDiagnostics& messages, Diagnostics& console,
                               std::future<void> room) {
    return std::async(std::launch::async, [&, steps, room = std::move(room)]() mutable {
        texture.refine(steps, phases, [&] {
            phases.quietly(&PhaseTimes::waitForRoom, [&] { room.get(); });
            messages.showStatusOn(console);
        });
    });
}

}  // namespace

Refinement refineMesh(const ObjMesh& input, int steps, const SmoothingOptions& smoothing,
                      const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                      SurfaceOverlap overlap,
                      const std::function<void(RefinedMesh&)>& positionsReady) {
    Refinement result;
    const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
    const ObjMesh& mesh = simple ? *simple : input;
    const bool withTexture = refinesTexture(mesh, diagnostics);

    auto positions = std::make_unique<SurfaceMesh>();
    const BuiltSurface built = buildPositions(mesh, *positions, phases, diagnostics);
    result.hasOutput = built.built;
    const ObjMesh& faces = built.faces(mesh);

    // Both at once: the texture layout is built now and refined on a second thread
    // while this one refines the positions and hands them on. Its messages are kept
    // and shown where the console has always shown them, after the positions'.
    auto texture = std::make_unique<TextureSide>();
    DeferredDiagnostics textureMessages;
    PhaseReporter texturePhases(textureMessages, phases.times());
    std::future<void> textureRefined;  // waits for the thread in its destructor
    // The texture's last step makes its surface four times larger: it waits until the
    // refined positions have left their surface, so that the two largest surfaces
    // never take memory at the same time. Declared after the future, so that should
    // this thread leave early, the promise is broken before the future waits: the
    // texture's get() then throws, and the thread ends without its last step.
    std::promise<void> positionsReleased;
    const bool together = withTexture && overlap == SurfaceOverlap::kBothAtOnce;
    if (together) {
        texture->build(faces, smoothing, texturePhases, textureMessages);
        textureRefined = refineBeside(*texture, steps, texturePhases, textureMessages, diagnostics,
                                      positionsReleased.get_future());
    }

    const RefinedPositions refined =
        refinePositions(*positions, faces, withTexture, steps, smoothing, result.hasOutput,
                        outputName, phases, diagnostics, result.mesh);
    result.clean = refined.clean;
    positions.reset();
    positionsReleased.set_value();
    // Positions that overflowed are refused below, and never written.
    const bool positionsFinite = !result.hasOutput || allFinite(result.mesh.positions);
    if (result.hasOutput && positionsReady && positionsFinite) {
        positionsReady(result.mesh);
    }

    if (together) {
        textureRefined.get();  // rethrows what the thread threw
        textureMessages.replay(diagnostics);
    } else if (withTexture) {
        texture->build(faces, smoothing, phases, diagnostics);
        texture->refine(steps, phases);
    }
    if (withTexture && !texture->pair(refined.pairing, result.hasOutput, outputName, phases,
                                      diagnostics, result.mesh)) {
        result.clean = false;
    }
    texture.reset();
    if (result.hasOutput && (!positionsFinite || !allFinite(result.mesh.uvs))) {
        diagnostics.error(overflowError(positionsFinite ? "texture coordinates" : "positions",
                                        mesh.sourcePath()));
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
        const MemoryAmounts available = availableMemory();
        std::string refusal = inputLimitRefusal(mesh);
        std::optional<RunMemory> memory;  // counted only for a mesh within the limits
        if (refusal.empty()) {
            memory.emplace(mesh);
            refusal = memory->refusal(steps, available);
        }
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
        const auto writePositions = [&](RefinedMesh& refined) {
            phases.quietly(&PhaseTimes::write, [&] {
                file.emplace(outputPath);
                writer.emplace(*file);
                writing = file->open() && writer->writePositions(refined);
            });
            // Written: their room goes to the texture's last step.
            std::vector<vec3<float>>().swap(refined.positions);
        };
        const Refinement refinement =
            refineMesh(mesh, steps, smoothing, outputPath, phases, diagnostics,
                       memory->overlap(steps, available), writePositions);
        if (!refinement.hasOutput) {
            return false;  // nothing to write: the output path stays as it was
        }
        const bool written = phases.quietly(&PhaseTimes::write, [&] {
            return file && writing && writer->writeRest(refinement.mesh) && file->commit();
        });
        if (!written) {
            diagnostics.error("ERROR : Can't write to [" + std::string(outputPath) +
                              "]: " + std::strerror(file ? file->error() : 0));
        }
        return written && refinement.clean;
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        return false;
    }
}

}  // namespace faceloom
