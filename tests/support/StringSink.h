#pragma once

#include <stdexcept>
#include <string>

#include "ByteSink.h"
#include "MergedObjWriter.h"

// Collects the written bytes in memory.
class StringSink : public faceloom::ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

namespace test {

// The text the writer makes of `mesh`; throws (failing the test) when it refuses.
inline std::string objText(const faceloom::RefinedMesh& mesh) {
    StringSink sink;
    if (!faceloom::writeMergedObj(mesh, sink)) {
        throw std::runtime_error("the writer refused the mesh");
    }
    return sink.text;
}

}  // namespace test
