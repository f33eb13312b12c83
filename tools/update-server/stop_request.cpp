// The handler only records the signal; the waiting thread looks at it every
// tenth of a second. The standard library offers no signal-safe wake-up, and
// a tenth of a second is nothing against a server's stop.
#include "tools/update-server/stop_request.h"

#include <atomic>
#include <csignal>
#include <thread>

namespace {

std::atomic<int> g_nStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnStopSignal(int signal) {
    g_nStopSignal.store(signal);
}

}  // namespace

void PrepareStopRequest() {
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGINT, OnStopSignal);
    // A client that goes away mid-answer must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
}

int WaitForStopRequest() {
    while (g_nStopSignal.load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return g_nStopSignal.load();
}
