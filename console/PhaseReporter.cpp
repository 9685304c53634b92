#include "console/PhaseReporter.h"

#include <cstdio>

namespace faceloom {

void PhaseReporter::begin(const char* line, double PhaseTimes::*phase) {
    timer_.start();
    diagnostics_.progress(line);
    phase_ = phase;
    start_ = std::chrono::steady_clock::now();
}

void PhaseReporter::finish() {
    timer_.stop();
    char line[64];
    std::snprintf(line, sizeof line, "Finished In [%f] Second\n", timer_.time());
    end(line);
}

void PhaseReporter::finishSteps(int steps) {
    timer_.stop();
    char line[96];
    std::snprintf(line, sizeof line, "Finish [%d] Steps In [%f] Second\n", steps, timer_.time());
    end(line);
}

void PhaseReporter::end(const char* line) {
    addWallTime(phase_, start_);
    diagnostics_.progress(line);
    timer_.reset();
}

void PhaseReporter::addWallTime(double PhaseTimes::*phase,
                                std::chrono::steady_clock::time_point start) {
    if (times_ != nullptr && phase != nullptr) {
        times_->*phase +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
}

}  // namespace faceloom
