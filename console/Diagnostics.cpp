#include "Diagnostics.h"

#include <cstdio>

#include <unistd.h>

namespace faceloom {

ConsoleDiagnostics::ConsoleDiagnostics(std::FILE* progressStream)
    : progressStream_(progressStream), terminal_(::isatty(STDERR_FILENO) == 1) {}

// Standard error through its FILE, never std::cerr: while a surface is built, CGAL's
// messages are caught by redirecting std::cerr (CgalMessages.h), and the other side
// of the run may be writing here at that moment.
void ConsoleDiagnostics::status(const std::string& line) {
    if (terminal_) {
        // Back to the start of the line, the new text, and the rest of the old one
        // cleared.
        std::fputc('\r', stderr);
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputs("\033[K", stderr);
        std::fflush(stderr);
    }
}

void ConsoleDiagnostics::progress(const std::string& text) {
    std::fputs(text.c_str(), progressStream_);
    std::fflush(progressStream_);
}

void ConsoleDiagnostics::error(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace faceloom
