#include "RunSubdivision.h"

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "DeferredDiagnostics.h"
#include "ForkJoin.h"
#include "InputLimits.h"
#include "MaterialLibraryPath.h"
#include "MergedObjWriter.h"
#include "OutputFile.h"
#include "PositionSide.h"
#include "RepairingBuild.h"
#include "SurfaceHandOver.h"
#include "TextureLayout.h"
#include "TextureSide.h"

namespace faceloom {

namespace {

// One run, step by step. Its parts are members so that whatever a second thread works
// on outlives that thread. Without a file to write, it refines into memory.
class SubdivisionRun {
public:
    SubdivisionRun(const ObjMesh& mesh, const char* outputPath, const RunOptions& options,
                   PhaseReporter& phases, Diagnostics& diagnostics)
        : mesh_(mesh),
          outputPath_(outputPath),
          options_(options),
          phases_(phases),
          diagnostics_(diagnostics),
          besidePhases_(besideMessages_, phases.times()),
          file_(outputPath),
          writer_(file_) {}

    // Refines, writing the file beside the texture's last step when `toFile`; true when
    // there is a refined mesh.
    bool refine(bool toFile);
    // Writes what refine() left to write; true when the run reported no error.
    bool finish();
    RefinedMesh& refined() { return refined_; }
    bool clean() const { return clean_; }

private:
    void refinePositions();
    void refineTextureAllButLast(PhaseReporter& phases, Diagnostics& diagnostics);
    void writePositions(bool toFile);
    void finishTexture(PhaseReporter& phases);

    const ObjMesh& mesh_;
    const char* outputPath_;
    const RunOptions& options_;
    PhaseReporter& phases_;
    Diagnostics& diagnostics_;
    // The texture's messages while it refines beside the positions, shown after theirs.
    DeferredDiagnostics besideMessages_;
    PhaseReporter besidePhases_;

    std::optional<PositionSide> positions_;
    std::optional<ObjMesh> repairedFaces_;
    const ObjMesh* faces_ = nullptr;  // the faces both surfaces are built from
    bool withTexture_ = false;
    TextureSide texture_;
    RefinedMesh refined_;
    RefinedPositions handedOver_;
    bool hasOutput_ = false;  // there are refined positions to write
    bool positionsFinite_ = true;
    bool clean_ = true;
    OutputFile file_;
    MergedObjWriter writer_;
    bool positionsWritten_ = false;
};

bool SubdivisionRun::refine(bool toFile) {
    withTexture_ = refinesTexture(mesh_, diagnostics_);
    positions_.emplace();
    positions_->build(mesh_, phases_, diagnostics_);
    // Kept by the run: both sides use them, the texture after the position side is gone.
    repairedFaces_ = std::move(positions_->built.repaired);
    faces_ = repairedFaces_ ? &*repairedFaces_ : &mesh_;
    // 1. The texture up to its last step beside the positions. 2. The position surface
    // released before the texture's thread is joined.
    const bool together = withTexture_ && options_.overlap == SurfaceOverlap::kBothAtOnce;
    PhaseReporter& texturePhases = together ? besidePhases_ : phases_;
    forkJoinIf(
        together,
        [&] {
            refineTextureAllButLast(texturePhases, together ? besideMessages_ : diagnostics_);
        },
        [&] { refinePositions(); });
    besideMessages_.replay(diagnostics_);
    // 3. The positions' block of the file written beside the texture's last step, which
    // shows its status on this thread.
    forkJoin([&] { writePositions(toFile); }, [&] { finishTexture(texturePhases); });
    if (hasOutput_ && (!positionsFinite_ || !allFinite(refined_.uvs))) {
        diagnostics_.error(overflowError(positionsFinite_ ? "texture coordinates" : "positions",
                                         mesh_.sourcePath));
        hasOutput_ = false;
    }
    clean_ = clean_ && hasOutput_;  // without output, the builder said why
    return hasOutput_;
}

void SubdivisionRun::refinePositions() {
    positions_->refine(options_.steps, options_.smoothing, phases_);
    handedOver_ = positions_->handOver(*faces_, withTexture_, outputPath_, phases_,
                                       diagnostics_, refined_);
    hasOutput_ = positions_->built.built;
    clean_ = handedOver_.clean;
    positions_.reset();
    for (std::string& library : refined_.materialLibraries) {
        library = rewriteMaterialLibraries(library, mesh_.sourcePath, outputPath_);
    }
    // Positions that overflowed are never written; the run says so at its end.
    positionsFinite_ = allFinite(refined_.positions);
}

void SubdivisionRun::refineTextureAllButLast(PhaseReporter& phases, Diagnostics& diagnostics) {
    if (withTexture_) {
        texture_.build(*faces_, options_.smoothing, phases, diagnostics);
        texture_.refineAllButLast(options_.steps, phases);
    }
}

void SubdivisionRun::writePositions(bool toFile) {
    if (toFile && hasOutput_ && positionsFinite_) {
        phases_.quietly(&PhaseTimes::write, [&] {
            positionsWritten_ = file_.open() && writer_.writePositions(refined_);
        });
        // Written: their room goes to the texture's last step.
        std::vector<vec3<float>>().swap(refined_.positions);
    }
}

void SubdivisionRun::finishTexture(PhaseReporter& phases) {
    if (!withTexture_) {
        return;
    }
    phases.continueOn(diagnostics_);
    texture_.refineLast(options_.steps, phases);
    if (!texture_.pair(handedOver_.pairing, hasOutput_, outputPath_, phases, diagnostics_,
                       refined_)) {
        clean_ = false;
    }
    texture_ = TextureSide();
}

bool SubdivisionRun::finish() {
    const bool written = phases_.quietly(&PhaseTimes::write, [&] {
        return positionsWritten_ && writer_.writeRest(refined_) && file_.commit();
    });
    if (!written) {
        diagnostics_.error("ERROR : Can't write to [" + std::string(outputPath_) +
                           "]: " + std::strerror(file_.error()));
    }
    return written && clean_;
}

}  // namespace

std::optional<RunOptions> checkRun(const ObjMesh& mesh, int steps,
                                   const SmoothingOptions& smoothing, Diagnostics& diagnostics) {
    try {
        std::string refusal = inputLimitRefusal(mesh);
        RunOptions options{steps, smoothing, SurfaceOverlap::kOneAtATime};
        if (refusal.empty()) {
            const MemoryAmounts available = availableMemory();
            const RunMemory memory(mesh);
            refusal = memory.refusal(steps, available);
            options.overlap = memory.overlap(steps, available);
        }
        if (refusal.empty()) {
            return options;
        }
        diagnostics.error(refusal);
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
    }
    return std::nullopt;
}

bool runSubdivision(const ObjMesh& input, const char* outputPath, const RunOptions& options,
                    Diagnostics& diagnostics, PhaseTimes* times) {
    try {
        PhaseReporter phases(diagnostics, times);
        const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
        SubdivisionRun run(simple ? *simple : input, outputPath, options, phases, diagnostics);
        // Without a refined mesh, the output stays as it was.
        return run.refine(true) && run.finish();
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        return false;
    }
}

std::optional<RefinedMesh> refineMesh(const ObjMesh& input, const char* outputName,
                                      const RunOptions& options, Diagnostics& diagnostics,
                                      bool* clean, PhaseTimes* times) {
    std::optional<RefinedMesh> refined;
    bool reportedNothing = false;
    try {
        PhaseReporter phases(diagnostics, times);
        const std::optional<ObjMesh> simple = simplePolygons(input, diagnostics);
        SubdivisionRun run(simple ? *simple : input, outputName, options, phases, diagnostics);
        if (run.refine(false)) {
            refined = std::move(run.refined());
        }
        reportedNothing = run.clean();
    } catch (const std::exception& e) {
        diagnostics.error(e.what());
        refined.reset();
    }
    if (clean != nullptr) {
        *clean = reportedNothing && refined.has_value();
    }
    return refined;
}

}  // namespace faceloom
