// Faceloom [options] <steps> <input.obj> <output.obj>
//
// Refines a textured polygon mesh by Catmull-Clark subdivision and carries its
// texture coordinates through the same refinement.

#include <cstdio>

#include "app/CommandLine.h"
#include "app/HelpText.h"
#include "app/RunSubdivision.h"
#include "console/Diagnostics.h"
#include "mesh/ObjMesh.h"
#include "output/OutputFile.h"

int main(int argc, char** argv) {
    using namespace faceloom;
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
    ObjMesh mesh(line.positional[1], console);
    if (mesh.loadFailed()) {
        return 1;  // the loader said why; an empty mesh has nothing more to say
    }
    // 1 whenever an error was reported, even if a file was written (one without its
    // texture, say): scripts must be able to tell.
    return runSubdivision(mesh, outputPath, steps, line.smoothing, console) ? 0 : 1;
}
