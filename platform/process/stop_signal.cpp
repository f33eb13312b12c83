#include "platform/process/stop_signal.h"

#include <signal.h>
#include <time.h>

#include <cerrno>

static_assert(kSignalInterrupt == SIGINT && kSignalTerminate == SIGTERM);

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

long long NowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

void BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int WaitForStopSignal(DWORD timeoutMs) {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (timeoutMs == INFINITE) {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) == 0)
                return sig;
        }
    }
    const long long deadline = NowMs() + timeoutMs;
    for (;;) {
        const long long left = deadline - NowMs();
        if (left <= 0)
            return 0;
        timespec wait{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
        const int sig = sigtimedwait(&set, nullptr, &wait);
        if (sig > 0)
            return sig;
        if (errno == EAGAIN)
            return 0;
        // EINTR: another signal's handler ran; wait for the rest of the time.
    }
}
