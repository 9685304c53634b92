#pragma once

#include <exception>
#include <thread>
#include <utility>

namespace faceloom {

// Runs `beside` on a second thread and `here` on this one, and returns once both are
// done; what either threw is thrown on, `here`'s first. Everything the two use lives
// with the caller, so nothing goes away while either runs, whichever fails.
//
// Whatever the two share is theirs to keep apart; everything each leaves behind is
// seen by this thread after the return.
template <class Beside, class Here>
void forkJoin(Beside&& beside, Here&& here) {
    std::exception_ptr besideFailed;
    std::thread helper([&]() noexcept {
        try {
            beside();
        } catch (...) {
            besideFailed = std::current_exception();
        }
    });
    try {
        here();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (besideFailed) {
        std::rethrow_exception(besideFailed);
    }
}

// The same two pieces of work, on two threads when `together`, otherwise one after the
// other on this thread: `here` first, then `beside`.
template <class Beside, class Here>
void forkJoinIf(bool together, Beside&& beside, Here&& here) {
    if (together) {
        forkJoin(std::forward<Beside>(beside), std::forward<Here>(here));
    } else {
        here();
        beside();
    }
}

}  // namespace faceloom
