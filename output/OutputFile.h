#pragma once

#include <cstdint>
#include <string>

#include <sys/stat.h>

#include "ByteSink.h"

namespace faceloom {

// The output file, written so that a failed run neither leaves a half-written file nor
// destroys what was there before.
//
// The bytes go to a new file next to the target, named "<target>.faceloom-XXXXXX.tmp"
// (".faceloom-XXXXXX.tmp" when that name would be too long), which replaces the target
// only once every byte was written and the file closed without error (rename is
// atomic). An interrupted run removes it (see InterruptCleanup.h). A symbolic link is
// followed: the file it points to is replaced and the link kept. An existing file's
// permissions (and, where allowed, owner) carry over.
//
// What can't be replaced is written directly, still checking every write: a target
// that exists but is not a regular file (/dev/null, a pipe, a terminal, a socket), and
// an open descriptor named as one ("-" for standard output, /dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N), so that a shell's ">>" appends.
class OutputFile : public ByteSink {
public:
    explicit OutputFile(std::string path);
    ~OutputFile() override;  // an unfinished new file is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the file can't be created or opened.
    bool open();
    bool write(const char* data, std::size_t size) override;
    // Closes the file and puts it in place, its bytes on the disk before its name
    // (so that a crash leaves the old file or the whole new one). False when anything
    // written could not reach the file, or it could not be put in place; the target is
    // then untouched (unless it is written directly).
    bool commit();
    // After a failure: the system's reason (an errno value).
    int error() const { return error_; }

protected:
    // The calls that finish the file, where the system reports what writing could not
    // (a full disk on a network file system, a failing device); tests make them fail.
    virtual int syncDescriptor(int fd);
    virtual int closeDescriptor(int fd);

private:
    bool fail(int error);
    void discard();
    // Gives the temporary file the permissions (and owner, where allowed) of the file
    // it replaces, `existing` (null for none), or those a new file gets.
    bool takePermissions(const struct stat* existing);

    std::string path_;       // as given
    std::string temporary_;  // the new file's name in directory_, while it is not in place
    std::string target_;     // the name in directory_ that the new file replaces
    int directory_ = -1;     // the target's directory; -1 when writing directly
    int fd_ = -1;
    bool failed_ = false;
    std::uint64_t written_ = 0;      // bytes written so far
    std::uint64_t writtenBack_ = 0;  // of those, what the disk was asked to start on
    static constexpr std::uint64_t kWriteBackChunk = std::uint64_t{8} << 20;
    int error_ = 0;
};

// True when `path` names this process's standard output ("-", /dev/stdout, /dev/fd/1,
// /proc/self/fd/1).
bool namesStandardOutput(const std::string& path);

}  // namespace faceloom
