#pragma once

#include <string>
#include <vector>

#include "LimitSurface.h"
#include "SmoothingOptions.h"

namespace faceloom {

// The command line, options taken out: `Faceloom [options] <steps> <input> <output>`.
// Options may stand anywhere, as --name=VALUE or --name VALUE; "--" ends them. Every
// other argument is positional, "-1" and "-" included.
struct CommandLine {
    std::vector<const char*> positional;
    SmoothingOptions smoothing;
    LimitOptions limit;
    bool help = false;     // -h or --help first, or --help anywhere before "--"
    bool version = false;  // --version anywhere before "--"
    std::string error;     // the "ERROR : ..." line for an option or value we don't know
};

CommandLine parseCommandLine(int argc, char** argv);

// True for exactly "-h" or "--help" (no prefixes, case-sensitive).
bool isHelpSwitch(const char* argument);

// Reads a step count as atoi does (leading white space, an optional sign, decimal
// digits up to the first other character; no digits give 0), but without atoi's
// undefined behaviour: a number outside the range of int comes back clamped to
// INT_MIN or INT_MAX, which is out of the valid range all the same.
int parseStepCount(const char* text);

// Prints the usage text (it ends without a line feed). `argc` counts the program
// name and the positional arguments.
void printUsage(int argc);

}  // namespace faceloom
