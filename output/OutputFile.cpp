#include "output/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

namespace faceloom {

namespace {

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links to the file they finally name, which need not exist yet.
// Gives up (returning the path as it stands) after as many links as the system
// follows itself.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return path;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
            return path;
        }
        std::string next(link.data(), static_cast<std::size_t>(n));
        path = (next.front() == '/') ? next : directoryOf(path) + "/" + next;
    }
    return path;
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

bool OutputFile::open() {
    discard();
    failed_ = false;
    target_ = followLinks(path_);

    struct stat existing;
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && ::access(target_.c_str(), W_OK) != 0) {
        return false;  // a file we may not write to is not ours to replace either
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a pipe: there is nothing to replace, only to write to.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0;
    }

    std::string pattern = directoryOf(target_) + "/." + baseNameOf(target_) + ".XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        return false;
    }
    temporary_ = pattern;
    mode_t mode;
    if (exists) {
        mode = existing.st_mode & 07777;
        // Keep the owner where we may (as root, say); otherwise the file becomes ours.
        if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
            mode &= 0777;  // never hand set-id bits to another owner
        }
    } else {
        // What open(..., 0666) would have given a new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0) {
        discard();
        return false;
    }
    return true;
}

bool OutputFile::write(const char* data, std::size_t size) {
    while (!failed_ && size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failed_ = true;
            break;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return !failed_;
}

bool OutputFile::commit() {
    if (fd_ < 0) {
        return false;
    }
    const int fd = std::exchange(fd_, -1);
    // close() can report what write() could not (a full disk on a network file system).
    const bool closed = ::close(fd) == 0;
    if (failed_ || !closed) {
        discard();
        return false;
    }
    if (temporary_.empty()) {
        return true;
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

}  // namespace faceloom
