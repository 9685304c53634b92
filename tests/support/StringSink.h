#pragma once

#include <string>

#include "output/ByteSink.h"

// Collects the written bytes in memory.
class StringSink : public faceloom::ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};
