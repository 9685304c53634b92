#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "output/ByteSink.h"

// The output file. Every write is checked, and so is the close.
class OutputFile : public ByteSink {
public:
    // False when the file can't be opened for writing.
    bool open(const char* path);
    bool write(const char* data, std::size_t size) override;
    // False when anything written could not reach the file.
    bool close();

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
    bool failed_ = false;
};
