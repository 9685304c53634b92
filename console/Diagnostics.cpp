#include "Diagnostics.h"

#include <cstdio>
#include <iostream>

#include <unistd.h>

namespace faceloom {

ConsoleDiagnostics::ConsoleDiagnostics(std::FILE* progressStream)
    : progressStream_(progressStream), terminal_(::isatty(STDERR_FILENO) == 1) {}

void ConsoleDiagnostics::status(const std::string& line) {
    if (terminal_) {
        // Back to the start of the line, the new text, and the rest of the old one
        // cleared.
        std::cerr << '\r' << line << "\033[K" << std::flush;
    }
}

void ConsoleDiagnostics::progress(const std::string& text) {
    std::fputs(text.c_str(), progressStream_);
    std::fflush(progressStream_);
}

void ConsoleDiagnostics::error(const std::string& line) {
    std::cerr << line << std::endl;
}

}  // namespace faceloom
