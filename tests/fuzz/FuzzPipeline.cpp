// libFuzzer target: arbitrary bytes through the loader and a whole run of one
// refinement step (both surface builders, the pairing and the writer), into memory.
// What is written must be a sound OBJ file: finite numbers, every index in range, four distinct
// corners per facet; anything else aborts, so that libFuzzer reports it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <sstream>
#include <stdexcept>
#include <optional>
#include <string>

#include <sys/syscall.h>
#include <unistd.h>

#include <CGAL/exceptions.h>

#include "ObjLoader.h"
#include "RunSubdivision.h"
#include "support/RecordedDiagnostics.h"

using namespace faceloom;

namespace {

void require(bool sound) {
    if (!sound) {
        std::abort();
    }
}

// Reads the written text back: "v x y z", "vt u v" with finite numbers, "f" lines of
// four corners naming existing, distinct positions (and, on the facets written with
// texture, texture coordinates in range).
void checkWritten(const std::string& text) {
    std::istringstream lines(text);
    std::size_t positions = 0, uvs = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string keyword;
        fields >> keyword;
        if (keyword == "v" || keyword == "vt") {
            const int count = keyword == "v" ? 3 : 2;
            for (int i = 0; i < count; ++i) {
                double value = NAN;
                fields >> value;
                require(!fields.fail() && std::isfinite(value));
            }
            ++(keyword == "v" ? positions : uvs);
        } else if (keyword == "f") {
            const bool textured = line.find('/') != std::string::npos;
            unsigned long p[4];
            for (int i = 0; i < 4; ++i) {
                char slash = 0;
                unsigned long t = 0;
                fields >> p[i];
                require(!fields.fail() && p[i] >= 1 && p[i] <= positions);
                if (textured) {
                    fields >> slash >> t;
                    require(slash == '/' && !fields.fail() && t >= 1 && t <= uvs);
                }
                for (int j = 0; j < i; ++j) {
                    require(p[j] != p[i]);
                }
            }
            std::string rest;
            require(!(fields >> rest));
        }
    }
}

}  // namespace

// The run's output, in memory: an anonymous file named by its descriptor, which the
// run writes to directly as it writes to any open descriptor.
class MemoryFile {
public:
    MemoryFile() : fd_(static_cast<int>(::syscall(SYS_memfd_create, "fuzz", 0))) {
        require(fd_ >= 0);
    }
    ~MemoryFile() { ::close(fd_); }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }
    std::string text() const {
        std::string text;
        char chunk[1 << 16];
        ssize_t n = 0;
        for (off_t at = 0; (n = ::pread(fd_, chunk, sizeof chunk, at)) > 0; at += n) {
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    int fd_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const ObjMesh mesh = parseObj(text);
        test::RecordedDiagnostics diagnostics;
        RunOptions wanted;
        wanted.steps = 1;
        const std::optional<RunOptions> options = checkRun(mesh, wanted, diagnostics);
        if (!options) {
            return 0;  // the tool refuses it before any work
        }
        const MemoryFile output;
        runSubdivision(mesh, output.path().c_str(), *options, diagnostics);
        checkWritten(output.text());
    } catch (const CGAL::Failure_exception&) {
        // A check inside CGAL failed: what the tool handed it was not what it promised.
        std::abort();
    } catch (const std::bad_alloc&) {
        // Running out of memory is reported by the tool, not a fault.
    } catch (const std::length_error&) {
    } catch (const std::runtime_error&) {
        // The loader refused the input (a number that is not finite), with a message.
    }
    return 0;
}
