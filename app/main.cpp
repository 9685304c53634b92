// Faceloom <steps> <input.obj> <output.obj>
//
// Refines a textured polygon mesh by Catmull-Clark subdivision and carries its
// texture coordinates through the same refinement.

#include <cstdio>

#include "app/CommandLine.h"
#include "app/HelpText.h"
#include "app/RunSubdivision.h"
#include "mesh/ObjMesh.h"

int main(int argc, char** argv) {
    if (argc >= 2 && isVersionSwitch(argv[1])) {
        faceloom::printVersion();
        return 0;
    }
    if (argc < 4 || isHelpSwitch(argv[1])) {
        printUsage(argc);
        if (argc >= 2 && isHelpSwitch(argv[1])) {
            faceloom::printHelp();
        }
        return -1;
    }
    int steps = parseStepCount(argv[1]);
    if (steps < 1 || steps > 6) {
        std::printf("Warning : Steps number is not valid, I will use 3\n");
        steps = 3;
    }
    ObjMesh mesh(argv[2]);
    const bool clean = runSubdivision(mesh, argv[3], steps);
    // 1 whenever an error was reported, even if a file was written (one without its
    // texture, say): scripts must be able to tell.
    return (clean && !mesh.loadFailed()) ? 0 : 1;
}
