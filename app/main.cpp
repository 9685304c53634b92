// Faceloom <steps> <input.obj> <output.obj>
//
// Refines a textured polygon mesh by Catmull-Clark subdivision and carries its
// texture coordinates through the same refinement.

#include <cstdio>

#include "app/CommandLine.h"
#include "app/RunSubdivision.h"
#include "mesh/ObjMesh.h"
#include "output/OutputFile.h"

int main(int argc, char** argv) {
    if (argc < 4 || isHelpSwitch(argv[1])) {
        printUsage(argc);
        return -1;
    }
    if (namesStandardOutput(argv[3])) {
        // The OBJ goes to standard output and must come out clean: the console lines
        // go to standard error instead. (The GNU C library lets stdout be set.)
        stdout = stderr;
    }
    int steps = parseStepCount(argv[1]);
    if (steps < 1 || steps > 6) {
        std::printf("Warning : Steps number is not valid, I will use 3\n");
        steps = 3;
    }
    ObjMesh mesh(argv[2]);
    if (mesh.loadFailed()) {
        return 1;  // the loader said why; an empty mesh has nothing more to say
    }
    // 1 whenever an error was reported, even if a file was written (one without its
    // texture, say): scripts must be able to tell.
    return runSubdivision(mesh, argv[3], steps) ? 0 : 1;
}
