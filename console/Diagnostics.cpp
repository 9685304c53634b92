#include "console/Diagnostics.h"

#include <cstdio>
#include <iostream>

namespace faceloom {

void ConsoleDiagnostics::progress(const std::string& text) {
    std::fputs(text.c_str(), progressStream_);
    std::fflush(progressStream_);
}

void ConsoleDiagnostics::error(const std::string& line) {
    std::cerr << line << std::endl;
}

}  // namespace faceloom
