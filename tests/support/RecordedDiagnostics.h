#pragma once

#include <string>

#include "Diagnostics.h"
#include "ObjLoader.h"

namespace test {

// Keeps every message, as the console would show them on each stream.
class RecordedDiagnostics : public faceloom::Diagnostics {
public:
    void progress(const std::string& text) override { out += text; }
    void error(const std::string& line) override { err += line + "\n"; }

    std::string out;  // standard output
    std::string err;  // standard error
};

// Loads an OBJ file; its messages are dropped, and a file that can't be read is an
// empty record.
inline faceloom::ObjMesh loadMesh(const std::string& path) {
    RecordedDiagnostics ignored;
    return faceloom::loadObj(path.c_str(), {}, ignored).mesh.value_or(faceloom::ObjMesh{});
}

}  // namespace test
