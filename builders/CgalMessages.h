#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "Diagnostics.h"

namespace faceloom {

// CGAL's incremental builder prints its diagnostics to std::cerr itself. While an
// object of this class lives, what goes to std::cerr is kept instead and handed on to
// `diagnostics` line by line, so that those lines reach wherever the tool's own go.
class CgalMessages {
public:
    explicit CgalMessages(Diagnostics& diagnostics)
        : diagnostics_(diagnostics), saved_(std::cerr.rdbuf(kept_.rdbuf())) {}
    ~CgalMessages() {
        pass();
        std::cerr.rdbuf(saved_);
    }
    CgalMessages(const CgalMessages&) = delete;
    CgalMessages& operator=(const CgalMessages&) = delete;

    // Hands on what CGAL printed so far, then `line` of the tool's own, so that the
    // lines keep their order.
    void report(const std::string& line) {
        pass();
        forward(line);
    }

    // Hands on what CGAL printed so far.
    void pass() {
        std::cerr.flush();
        const std::string text = kept_.str();
        kept_.str("");
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            forward(text.substr(start, end - start));
            start = end + 1;
        }
    }

private:
    // The sink may print to std::cerr itself: give it the real stream meanwhile.
    void forward(const std::string& line) {
        std::cerr.rdbuf(saved_);
        diagnostics_.error(line);
        std::cerr.rdbuf(kept_.rdbuf());
    }

    Diagnostics& diagnostics_;
    std::ostringstream kept_;
    std::streambuf* saved_;
};

}  // namespace faceloom
