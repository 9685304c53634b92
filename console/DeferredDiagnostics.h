#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Diagnostics.h"

namespace faceloom {

// Keeps messages, progress and errors in the order they came, to hand them on later:
// work done ahead of time (or on another thread) still reports at the place in the
// run where the console has always shown it. Not shared between threads: one thread
// fills it, and hands it on once that thread is done.
class DeferredDiagnostics : public Diagnostics {
public:
    void progress(const std::string& text) override { kept_.emplace_back(false, text); }
    void error(const std::string& line) override { kept_.emplace_back(true, line); }
    // A passing status line has no place to be kept for: it is dropped.
    void status(const std::string&) override {}

    // Hands every kept message on to `diagnostics`, in order, and forgets them.
    void replay(Diagnostics& diagnostics) {
        for (const auto& [isError, text] : kept_) {
            if (isError) {
                diagnostics.error(text);
            } else {
                diagnostics.progress(text);
            }
        }
        kept_.clear();
    }

private:
    std::vector<std::pair<bool, std::string>> kept_;  // (is an error, text)
};

}  // namespace faceloom
