#pragma once

#include <string>

#include "Diagnostics.h"

namespace test {

// Keeps every message, as the console would show them on each stream.
class RecordedDiagnostics : public faceloom::Diagnostics {
public:
    void progress(const std::string& text) override { out += text; }
    void error(const std::string& line) override { err += line + "\n"; }

    std::string out;  // standard output
    std::string err;  // standard error
};

}  // namespace test
