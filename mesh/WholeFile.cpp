#include "WholeFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace faceloom {

WholeFileRead readWholeFile(const char* path, std::uint64_t limit, std::string& text) {
    WholeFileRead result;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) {
        result.error = errno;
        return result;
    }
    struct stat status;
    if (::fstat(::fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size > 0) {
        const auto bytes = static_cast<std::uint64_t>(status.st_size);
        if (bytes > limit) {
            result.oversized = OversizedInput{bytes, true};
            return result;
        }
        text.reserve(static_cast<std::size_t>(bytes));
    }
    // A directory opens fine with fopen; only reading it fails (EISDIR).
    char chunk[1 << 16];
    for (;;) {
        errno = 0;
        std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (text.size() + n > limit) {
            // A file that grew while being read is refused the same way.
            result.oversized = OversizedInput{text.size(), false};
            return result;
        }
        text.append(chunk, n);
        if (n < sizeof chunk) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        result.error = errno != 0 ? errno : EIO;
    }
    return result;
}

bool readInput(const char* path, std::uint64_t limit, std::string& bytes,
               std::optional<OversizedInput>& oversized, Diagnostics& diagnostics) {
    const WholeFileRead read = readWholeFile(path, limit, bytes);
    oversized = read.oversized;
    if (read.error == ENOENT || read.error == ENOTDIR) {
        diagnostics.error("ERROR : Can't Find [" + std::string(path) + "]");
    } else if (read.error != 0) {
        diagnostics.error("ERROR : Can't read [" + std::string(path) +
                          "]: " + std::strerror(read.error));
    }
    return !oversized && read.error == 0;
}

}  // namespace faceloom
