#include "app/CommandLine.h"

#include <climits>
#include <cstdio>
#include <cstring>

bool isHelpSwitch(const char* argument) {
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}

bool isVersionSwitch(const char* argument) {
    return std::strcmp(argument, "--version") == 0;
}

int parseStepCount(const char* text) {
    const char* p = text;
    // The white space of the C locale, as atoi skips it.
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= INT_MAX) {  // stop growing once past int; the clamp below decides
            value = value * 10 + (*p - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

void printUsage(int argc) {
    std::printf("[%d] argcs\n", argc);
    std::printf(
        "Example : Faceloom 3 foo.obj bar.obj\n\tI will subdivide the \"foo.obj\" with 3 step then "
        "write to \"bar.obj\"");
}
