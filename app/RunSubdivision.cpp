#include "app/RunSubdivision.h"

#include <cstring>
#include <exception>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "builders/CornerFans.h"
#include "builders/InputLimits.h"
#include "builders/Polyhedron.h"
#include "builders/RepairingBuild.h"
#include "builders/TextureLayout.h"
#include "console/DeferredDiagnostics.h"
#include "output/MergedObjWriter.h"
#include "output/OutputFile.h"
#include "output/UntexturedFacets.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/SurfaceHandOver.h"
#include "refine/SurfaceMesh.h"
#include "refine/SurfaceRefinement.h"
#include "refine/UvSmoothing.h"
#include "system/MemoryBudget.h"

namespace faceloom {

namespace {

// Per face whether it has texture; empty when every face has.
std::vector<bool> texturedFaces(const ObjMesh& faces) {
    std::vector<bool> textured(faces.faceCount);
    bool all = true;
    for (std::uint32_t face = 0; face < faces.faceCount; ++face) {
        textured[face] = faceHasTexture(faces, face);
        all = all && textured[face];
    }
    return all ? std::vector<bool>{} : textured;
}

// Whether a face of `mesh` names a texture coordinate at every corner. Faces that are
// no polygons count as naming one: the builders report them, for both surfaces.
bool namesTexture(const ObjMesh& mesh) {
    if (mesh.faceCount == 0 || !hasPolygonFaces(mesh)) {
        return true;
    }
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        if (faceHasTexture(mesh, face)) {
            return true;
        }
    }
    return false;
}

// Copies a built surface into the one that is refined; when it can't, says so as the
// builder would and takes the surface as not built.
void copyForRefinement(const Polyhedron& built, const ObjMesh& faces, SurfaceMesh& surface,
                       BuiltSurface& result, Diagnostics& diagnostics) {
    if (result.built && !copyIndexPreserving(built, surface)) {
        diagnostics.error("ERROR : The faces of [" + faces.sourcePath() +
                          "] don't link into a surface the refinement can take");
        result.built = false;
    }
}

// The texture layout: its surface, built from the faces the positions were built
// from, the rules it is refined by, and the lineage of its refinement.
struct TextureSide {
    SurfaceMesh surface;
    BuiltSurface layout;
    RefinementRules rules;
    std::optional<FacetLineage> lineage;
};

// Builds the layout as a polyhedron, reads its smoothing rules off it, and copies it
// index for index into the surface that is refined; the polyhedron is released at
// once. A layout that didn't build leaves the surface empty.
void buildTexture(const ObjMesh& faces, const SmoothingOptions& smoothing, TextureSide& side,
                  PhaseReporter& phases, Diagnostics& diagnostics) {
    phases.begin("Begin To Build Polyhedron UV\n", &PhaseTimes::build);
    {
        Polyhedron polyhedron;
        side.layout = buildTextureSurface(faces, polyhedron, diagnostics);
        side.rules = layoutRules(side.layout.faces(faces), polyhedron, smoothing);
        keepAlso(side.layout.keep, side.rules);
        copyForRefinement(polyhedron, faces, side.surface, side.layout, diagnostics);
    }
    phases.finish();
    side.lineage.emplace(side.surface, side.layout.faces(faces), FacetLineage::Side::kTexture);
}

void refineTexture(TextureSide& side, int steps, PhaseReporter& phases) {
    phases.begin("Begin To Subdividing UV\n", &PhaseTimes::refineTexture);
    refineSurface(side.surface, *side.lineage, steps, side.rules);
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
        if (!takeTexture(side.surface, *side.lineage, *pairing, result.mesh)) {
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

Refinement refineMesh(const ObjMesh& mesh, int steps, const SmoothingOptions& smoothing,
                      const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                      SurfaceOverlap overlap,
                      const std::function<void(const RefinedMesh&)>& positionsReady) {
    Refinement result;
    const bool withTexture = mesh.uvCount != 0 && namesTexture(mesh);
    auto positionSurface = std::make_unique<SurfaceMesh>();
    phases.begin("Begin To Build Polyhedron Mesh\n", &PhaseTimes::build);
    BuiltSurface built;
    {
        Polyhedron polyhedron;
        built = buildPositionSurface(mesh, polyhedron, diagnostics);
        copyForRefinement(polyhedron, mesh, *positionSurface, built, diagnostics);
    }
    phases.finish();
    result.hasOutput = built.built;
    const ObjMesh& faces = built.faces(mesh);

    // Both at once: the texture layout is built now and refined on a second thread
    // while this one refines the positions and hands them on. Its messages are kept
    // and shown where the console has always shown them, after the positions'.
    auto texture = std::make_unique<TextureSide>();
    DeferredDiagnostics textureMessages;
    PhaseReporter texturePhases(textureMessages, phases.times());
    std::future<void> textureRefined;  // waits for the thread in its destructor
    const bool together = withTexture && overlap == SurfaceOverlap::kBothAtOnce;
    if (together) {
        buildTexture(faces, smoothing, *texture, texturePhases, textureMessages);
        textureRefined =
            std::async(std::launch::async, [&] { refineTexture(*texture, steps, texturePhases); });
    }

    std::optional<FacetPairing> pairing;
    FacetLineage lineage(*positionSurface, faces, FacetLineage::Side::kPositions);
    phases.begin("Begin To Subdividing Mesh\n", &PhaseTimes::refinePositions);
    refineSurface(*positionSurface, lineage, steps, positionRules(smoothing));
    phases.finishSteps(steps);
    if (result.hasOutput) {
        phases.quietly(&PhaseTimes::handOver, [&] {
            takePositions(*positionSurface, &lineage, result.mesh);
            if (withTexture) {
                pairing.emplace(lineage);
                // Facets of faces without texture are written without, the others with it.
                const std::vector<bool> textured = texturedFaces(faces);
                if (!textured.empty()) {
                    for (std::uint32_t face : lineage.inputFaces()) {
                        result.mesh.facetTextured.push_back(textured[face]);
                    }
                }
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
    // Positions that overflowed are refused below, and never written.
    if (result.hasOutput && positionsReady && nonFinitePart(result.mesh) == nullptr) {
        positionsReady(result.mesh);
    }

    if (mesh.uvCount != 0 && !withTexture) {
        diagnostics.progress("Warning : No face of [" + mesh.sourcePath() +
                             "] names a texture coordinate at every corner, so its " +
                             std::to_string(mesh.uvCount) +
                             " texture coordinates are unused and it is refined without "
                             "texture\n");
    }
    if (withTexture) {
        if (together) {
            textureRefined.get();  // rethrows what the thread threw
            textureMessages.replay(diagnostics);
        } else {
            buildTexture(faces, smoothing, *texture, phases, diagnostics);
            refineTexture(*texture, steps, phases);
        }
        pairTexture(*texture, pairing, outputName, phases, diagnostics, result);
    }
    texture.reset();
    if (result.hasOutput) {
        if (const char* part = nonFinitePart(result.mesh)) {
            diagnostics.error("ERROR : The refined " + std::string(part) + " of [" +
                              mesh.sourcePath() +
                              "] overflow single precision (its numbers are too close to 3.4e38 "
                              "to refine): nothing written");
            result.hasOutput = false;
        }
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
        if (refusal.empty()) {
            refusal = memoryRefusal(mesh, steps, available);
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
        const auto writePositions = [&](const RefinedMesh& refined) {
            phases.quietly(&PhaseTimes::write, [&] {
                file.emplace(outputPath);
                writer.emplace(*file);
                writing = file->open() && writer->writePositions(refined);
            });
        };
        const Refinement refinement =
            refineMesh(mesh, steps, smoothing, outputPath, phases, diagnostics,
                       chooseOverlap(mesh, steps, available), writePositions);
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
