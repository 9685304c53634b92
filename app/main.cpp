// Faceloom [options] <steps> <input.obj> <output.obj>
//
// Refines a textured polygon mesh by Catmull-Clark subdivision and carries its
// texture coordinates through the same refinement.

#include <cstdio>
#include <optional>
#include <utility>

#include "CommandLine.h"
#include "Diagnostics.h"
#include "HelpText.h"
#include "MemoryBudget.h"
#include "ObjLoader.h"
#include "OutputFile.h"
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
    int steps = parseStepCount(line.positional[0]);
    if (steps < 1 || steps > 6) {
        console.progress("Warning : Steps number is not valid, I will use 3\n");
        steps = 3;
    }
    const std::optional<ObjMesh> mesh = loadInput(line.positional[1], console);
    if (!mesh) {
        return 1;  // the loader said why
    }
    RunOptions wanted;
    wanted.steps = steps;
    wanted.smoothing = line.smoothing;
    wanted.limit = line.limit;
    const std::optional<RunOptions> options = checkRun(*mesh, wanted, console);
    // 1 whenever an error was reported, even if a file was written (one without its
    // texture, say): scripts must be able to tell.
    return options && runSubdivision(*mesh, outputPath, *options, console) ? 0 : 1;
}
