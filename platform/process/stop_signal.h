// Waiting for the request to stop (SIGTERM or SIGINT) in a tool's main loop,
// without signal handlers: the two signals are blocked in every thread, so
// they stay pending until a thread takes them with WaitForStopSignal.
#pragma once

#include "platform/error/error.h"
#include "platform/thread/thread.h"  // INFINITE

// The signal numbers WaitForStopSignal returns.
constexpr int kSignalInterrupt = 2;   // SIGINT: Ctrl-C
constexpr int kSignalTerminate = 15;  // SIGTERM: kill, systemd, the tests

// Blocks SIGTERM and SIGINT in the calling thread. Call it first in main,
// before any thread is made: threads inherit the blocked set, and a thread
// made earlier would let the signal end the process the default way.
// Programs started later get both signals unblocked again.
void BlockStopSignals();

// Blocks the calling thread until SIGTERM or SIGINT arrives and returns its
// number (kSignalTerminate or kSignalInterrupt); 0 when timeoutMs passes
// first (INFINITE waits for ever). Blocks the two signals in the calling
// thread itself if BlockStopSignals was not called there.
int WaitForStopSignal(DWORD timeoutMs = INFINITE);
