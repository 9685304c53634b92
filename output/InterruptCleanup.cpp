#include "InterruptCleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace faceloom {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// All the handler reads. `watching` is set last and cleared first, so that the
// handler never sees a half-written name.
struct Watched {
    volatile sig_atomic_t watching = 0;
    int directory = -1;
    char name[NAME_MAX + 1] = {};
};
Watched watched;

extern "C" void removeTemporaryAndDie(int signal) {
    if (watched.watching) {
        ::unlinkat(watched.directory, watched.name, 0);
    }
    // SA_RESETHAND put the default action back; the signal, blocked while this
    // handler runs, is delivered again as soon as it returns.
    ::raise(signal);
}

void installHandlers() {
    for (const int signal : kSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN ||
            current.sa_handler == removeTemporaryAndDie) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

void watchTemporaryFile(int directory, const char* name) {
    watched.watching = 0;
    watched.directory = directory;
    std::strncpy(watched.name, name, NAME_MAX);
    installHandlers();
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the name before the flag
    watched.watching = 1;
}

void forgetTemporaryFile() {
    watched.watching = 0;
}

}  // namespace faceloom
