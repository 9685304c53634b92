// Faceloom [options] <steps> <input> <output>
//
// Refines a textured polygon mesh (Wavefront OBJ or glTF 2.0) by Catmull-Clark
// subdivision and carries its texture coordinates through the same refinement.

#include <cstdio>
#include <optional>
#include <utility>

#include "CommandLine.h"
#include "Diagnostics.h"
#include "GltfDocument.h"
#include "GltfJob.h"
#include "HelpText.h"
#include "MemoryBudget.h"
#include "ObjLoader.h"
#include "OutputFile.h"
#include "OutputFormat.h"
#include "RunSubdivision.h"

using namespace faceloom;

namespace {

// Reads the input, no more of it than fits in the memory there is.
std::optional<ObjMesh> loadInput(const char* path, Diagnostics& diagnostics) {
    const MemoryAmounts available = availableMemory();
    ObjLoad load = loadObj(path, LoadLimits{loadableBytes(available)}, diagnostics);
    if (load.oversized) {
        diagnostics.error(
            loadRefusal(path, load.oversized->bytes, load.oversized->sized, available));
    }
    return std::move(load.mesh);
}

// The same for a glTF file, buffers in other files included.
std::optional<GltfDocument> loadGltfInput(const char* path, Diagnostics& diagnostics) {
    const MemoryAmounts available = availableMemory();
    GltfLoad load = loadGltf(path, LoadLimits{loadableBytes(available)}, diagnostics);
    if (load.oversized) {
        diagnostics.error(
            loadRefusal(path, load.oversized->bytes, load.oversized->sized, available));
    }
    return std::move(load.document);
}

// Refines the file at `inputPath` into `outputPath`, each in its format; true when no
// error was reported.
bool refineFile(const char* inputPath, const char* outputPath, MeshFormat output,
                const RefineSettings& settings, Diagnostics& console) {
    if (inputFormat(inputPath) == MeshFormat::kObj) {
        const std::optional<ObjMesh> mesh = loadInput(inputPath, console);
        if (!mesh) {
            return false;  // the loader said why
        }
        if (output != MeshFormat::kObj) {
            return refineObjToGltf(*mesh, outputPath, output == MeshFormat::kGlb, settings,
                                   console);
        }
        const std::optional<RunOptions> options = checkRun(*mesh, settings.wanted, console);
        return options && runSubdivision(*mesh, outputPath, *options, console);
    }
    const std::optional<GltfDocument> document = loadGltfInput(inputPath, console);
    if (!document) {
        return false;
    }
    return output == MeshFormat::kObj
               ? refineGltfToObj(*document, outputPath, settings, console)
               : refineGltfToGltf(*document, outputPath, output == MeshFormat::kGlb, settings,
                                  console);
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parseCommandLine(argc, argv);
    // The usage text counts the program and the positional arguments, as if no
    // option had been given.
    const int arguments = static_cast<int>(line.positional.size()) + 1;
    if (line.version) {
        printVersion();
        return 0;
    }
    if (line.help || (line.error.empty() && arguments < 4)) {
        printUsage(arguments);
        if (line.help) {
            printHelp();
        }
        return -1;
    }
    const char* outputPath = line.positional[2];
    // When the OBJ goes to standard output it must come out clean: the console lines
    // go to standard error then.
    ConsoleDiagnostics console(namesStandardOutput(outputPath) ? stderr : stdout);
    if (!line.error.empty()) {
        console.error(line.error);
        return 1;
    }
    // The output's format is known before any work, or nothing is done.
    const std::optional<MeshFormat> output = outputFormat(outputPath);
    if (!output) {
        console.error(outputFormatRefusal(outputPath));
        return 1;
    }
    int steps = parseStepCount(line.positional[0]);
    if (steps < 1 || steps > 6) {
        console.progress("Warning : Steps number is not valid, I will use 3\n");
        steps = 3;
    }
    // 1 whenever an error was reported, even if a file was written (one without its
    // texture, say): scripts must be able to tell.
    RefineSettings settings;
    settings.wanted.steps = steps;
    settings.wanted.smoothing = line.smoothing;
    settings.wanted.limit = line.limit;
    return refineFile(line.positional[1], outputPath, *output, settings, console) ? 0 : 1;
}
