// The counter the kill switch (kill_switch.cpp, a library preloaded into the
// programs of an update run) shares between the processes of one run and
// the test: a file of this layout, zeroed before the run, mapped by each.
#pragma once

#include <atomic>

constexpr int kKillMaxProcesses = 32;

struct CKillShared {
    std::atomic<unsigned long> count;  // calls that changed files so far
    std::atomic<int> host;             // the process killed with the caller
    std::atomic<int> processes;        // how many processes counted
    std::atomic<int> pids[kKillMaxProcesses];
    std::atomic<int> killed;  // the run was killed
    char what[512];           // the call it was killed before: "N program call target"
};

// Shared between processes, so every atomic must work without a lock.
static_assert(std::atomic<unsigned long>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
