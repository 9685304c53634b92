#include "PhaseReporter.h"

#include <time.h>

#include <cstdio>

namespace faceloom {

namespace {

double threadCpuSeconds() {
    timespec now{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) {
        return 0;  // no such clock: the phase shows 0 rather than another thread's time
    }
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

}  // namespace

void PhaseReporter::begin(const char* line, double PhaseTimes::*phase) {
    diagnostics_.progress(line);
    cpuStart_ = threadCpuSeconds();
    phase_ = phase;
    start_ = std::chrono::steady_clock::now();
}

void PhaseReporter::finish() {
    const double seconds = threadCpuSeconds() - cpuStart_;
    char line[64];
    std::snprintf(line, sizeof line, "Finished In [%f] Second\n", seconds);
    end(line);
}

void PhaseReporter::finishSteps(int steps) {
    diagnostics_.status("");
    const double seconds = threadCpuSeconds() - cpuStart_;
    char line[96];
    std::snprintf(line, sizeof line, "Finish [%d] Steps In [%f] Second\n", steps, seconds);
    end(line);
}

void PhaseReporter::end(const char* line) {
    addWallTime(phase_, start_);
    diagnostics_.progress(line);
}

void PhaseReporter::addWallTime(double PhaseTimes::*phase,
                                std::chrono::steady_clock::time_point start) {
    if (times_ != nullptr && phase != nullptr) {
        times_->*phase +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
}

std::function<void(int, std::uint64_t)> PhaseReporter::stepsShown(const char* what, int steps) {
    return [this, what, steps](int step, std::uint64_t facets) {
        char count[32];
        if (facets >= 1000000) {
            std::snprintf(count, sizeof count, "%.1fM", double(facets) / 1e6);
        } else if (facets >= 1000) {
            std::snprintf(count, sizeof count, "%.1fk", double(facets) / 1e3);
        } else {
            std::snprintf(count, sizeof count, "%llu", static_cast<unsigned long long>(facets));
        }
        char line[128];
        std::snprintf(line, sizeof line, "%s  step %d/%d  %s facets", what, step, steps, count);
        diagnostics_.status(line);
    };
}

}  // namespace faceloom
