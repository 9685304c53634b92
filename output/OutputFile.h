#pragma once

#include <string>

#include "output/ByteSink.h"

namespace faceloom {

// The output file, written so that a failed run neither leaves a half-written file nor
// destroys what was there before.
//
// The bytes go to a new file next to the target, which replaces the target only once
// every byte was written and the file closed without error (rename is atomic). A
// symbolic link is followed: the file it points to is replaced and the link kept. An
// existing file's permissions (and, where allowed, owner) carry over. A target that
// exists but is not a regular file (/dev/null, a pipe, a terminal) can't be replaced:
// it is written directly, still checking every write.
class OutputFile : public ByteSink {
public:
    explicit OutputFile(std::string path);
    ~OutputFile() override;  // an unfinished new file is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the file can't be created or opened.
    bool open();
    bool write(const char* data, std::size_t size) override;
    // Closes the file and puts it in place. False when anything written could not
    // reach the file, or it could not be put in place; the target is then untouched
    // (unless it is written directly).
    bool commit();

private:
    void discard();

    std::string path_;       // as given
    std::string temporary_;  // the new file, while it is not in place; empty when writing directly
    std::string target_;     // what the new file replaces
    int fd_ = -1;
    bool failed_ = false;
};

}  // namespace faceloom
