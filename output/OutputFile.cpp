#include "OutputFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "InterruptCleanup.h"

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

// The descriptor `path` names as an already open file, or -1.
int descriptorNamedBy(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") {
        return STDOUT_FILENO;
    }
    if (path == "/dev/stderr") {
        return STDERR_FILENO;
    }
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (path.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string digits = path.substr(prefix.size());
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            return -1;
        }
        return std::stoi(digits);
    }
    return -1;
}

// Creates a new file in `directory` whose name starts with `base` and ends with
// ".faceloom-XXXXXX.tmp", six random letters in place of the X's (as mkstemps does,
// but relative to a directory, so that the length of the directory's path does not
// count). A name longer than a directory entry can be is shortened to the ending
// alone. Returns the descriptor, or -1 with errno set.
int createTemporary(int directory, const std::string& base, std::string& name) {
    const std::string ending = ".faceloom-XXXXXX.tmp";
    name = (base.size() + ending.size() <= NAME_MAX) ? base + ending : ending;
    const std::size_t letters = name.size() - 10;  // where the X's start
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = 0; i < 6; ++i) {
            name[letters + i] = kAlphabet[pick(random)];
        }
        const int fd =
            ::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;  // errno is EEXIST
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::fail(int error) {
    if (!failed_) {
        failed_ = true;
        error_ = error;
    }
    return false;
}

void OutputFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlinkat(directory_, temporary_.c_str(), 0);
        forgetTemporaryFile();
        temporary_.clear();
    }
    if (directory_ >= 0) {
        ::close(directory_);
        directory_ = -1;
    }
}

bool OutputFile::open() {
    discard();
    failed_ = false;
    written_ = writtenBack_ = 0;
    error_ = 0;

    const int descriptor = descriptorNamedBy(path_);
    if (descriptor >= 0) {
        // The shell opened it (for appending, perhaps): write through it as it is.
        fd_ = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
        return fd_ >= 0 || fail(errno);
    }
    struct stat existing;
    const bool exists = ::stat(path_.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return fail(errno);  // a loop of links, a file in the way of a directory, ...
    }
    if (exists && ::access(path_.c_str(), W_OK) != 0) {
        return fail(errno);  // a file we may not write to is not ours to replace either
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device, a pipe or a socket: there is nothing to replace, only to write to.
        fd_ = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0 || fail(errno);
    }

    const std::string target = followLinks(path_);
    target_ = baseNameOf(target);
    directory_ = ::open(directoryOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (directory_ < 0) {
        return fail(errno);
    }
    std::string name;
    fd_ = createTemporary(directory_, target_, name);
    if (fd_ < 0) {
        const int error = errno;
        discard();
        return fail(error);
    }
    temporary_ = name;
    watchTemporaryFile(directory_, temporary_.c_str());
    return takePermissions(exists ? &existing : nullptr);
}

bool OutputFile::takePermissions(const struct stat* existing) {
    mode_t mode;
    if (existing != nullptr) {
        mode = existing->st_mode & 07777;
        // Keep the owner where we may (as root, say); otherwise the file becomes ours.
        if (::fchown(fd_, existing->st_uid, existing->st_gid) != 0) {
            mode &= 0777;  // never hand set-id bits to another owner
        }
    } else {
        // What open(..., 0666) would have given a new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0) {
        const int error = errno;
        discard();
        return fail(error);
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
            return fail(n < 0 ? errno : EIO);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
    // The disk is to have the bytes before the file takes its name: have it start on
    // what is written so far, so that the sync in commit() waits for little.
    if (!temporary_.empty() && written_ - writtenBack_ >= kWriteBackChunk) {
        ::sync_file_range(fd_, static_cast<off_t>(writtenBack_),
                          static_cast<off_t>(written_ - writtenBack_), SYNC_FILE_RANGE_WRITE);
        writtenBack_ = written_;
    }
    return !failed_;
}

int OutputFile::syncDescriptor(int fd) {
    return ::fsync(fd);
}

int OutputFile::closeDescriptor(int fd) {
    return ::close(fd);
}

bool OutputFile::commit() {
    if (fd_ < 0) {
        return fail(EBADF);
    }
    const int fd = std::exchange(fd_, -1);
    // A file written directly (a pipe, a device) has nothing to sync.
    if (!failed_ && !temporary_.empty() && syncDescriptor(fd) != 0) {
        fail(errno);
    }
    if (closeDescriptor(fd) != 0) {
        fail(errno);
    }
    if (failed_) {
        discard();
        return false;
    }
    if (!temporary_.empty()) {
        if (::renameat(directory_, temporary_.c_str(), directory_, target_.c_str()) != 0) {
            fail(errno);
            discard();
            return false;
        }
        forgetTemporaryFile();
        temporary_.clear();
    }
    discard();
    return true;
}

bool namesStandardOutput(const std::string& path) {
    return descriptorNamedBy(path) == STDOUT_FILENO;
}

}  // namespace faceloom
