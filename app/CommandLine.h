#pragma once

// The pieces of the command line that carry rules of their own.

// True for exactly "-h" or "--help" (no prefixes, case-sensitive).
bool isHelpSwitch(const char* argument);

// True for exactly "--version".
bool isVersionSwitch(const char* argument);

// Reads a step count as atoi does (leading white space, an optional sign, decimal
// digits up to the first other character; no digits give 0), but without atoi's
// undefined behaviour: a number outside the range of int comes back clamped to
// INT_MIN or INT_MAX, which is out of the valid range all the same.
int parseStepCount(const char* text);

// Prints the usage text (it ends without a line feed).
void printUsage(int argc);
