#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "Diagnostics.h"

namespace faceloom {

// Wall-clock seconds spent in each phase of one run, for the benchmark.
struct PhaseTimes {
    double build = 0;  // building both surfaces
    double refinePositions = 0;
    double refineTexture = 0;
    double handOver = 0;       // from the refined surfaces to the writer's input
    double write = 0;
};

// The phases of a run as the console shows them: a begin line, then the phase's own
// processor time. Also adds each phase's wall time to a PhaseTimes, when given one.
//
// The processor time is the calling thread's own, not the process's: the two
// refinements may run at once on two threads, and each line shows only its phase's
// work. So a reporter serves the one thread that calls begin() and its finish.
class PhaseReporter {
public:
    PhaseReporter(Diagnostics& diagnostics, PhaseTimes* times)
        : diagnostics_(diagnostics), times_(times) {}

    // Where the wall times go (null when nowhere), for a reporter on another thread.
    PhaseTimes* times() const { return times_; }

    // Prints `line` and starts timing; `phase` is where the wall time goes.
    void begin(const char* line, double PhaseTimes::*phase);
    // Ends the phase begun last: "Finished In [t] Second".
    void finish();
    // What shows a refinement's steps as they pass ("Refining texture  step 2/4  8.4M
    // facets"), as a status line that the phase's end takes away.
    std::function<void(int step, std::uint64_t facets)> stepsShown(const char* what, int steps);
    // Ends a refinement phase: "Finish [steps] Steps In [t] Second".
    void finishSteps(int steps);

    // Runs `work` as a phase the console doesn't show: only its wall time is kept.
    template <class Work>
    auto quietly(double PhaseTimes::*phase, Work&& work) {
        const auto start = std::chrono::steady_clock::now();
        struct AddOnExit {
            PhaseReporter& reporter;
            double PhaseTimes::*phase;
            std::chrono::steady_clock::time_point start;
            ~AddOnExit() { reporter.addWallTime(phase, start); }
        } addOnExit{*this, phase, start};
        return work();
    }

private:
    void addWallTime(double PhaseTimes::*phase, std::chrono::steady_clock::time_point start);
    void end(const char* line);

    Diagnostics& diagnostics_;
    PhaseTimes* times_;
    double cpuStart_ = 0;  // the thread's processor seconds when the phase began
    double PhaseTimes::*phase_ = nullptr;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace faceloom
