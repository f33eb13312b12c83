// Repeated failed logins, per account name and per client address: past a
// few failures a key is blocked for a while that doubles with each further
// failure (up to a cap), and during the block its logins are refused at
// once, without the slow hash. A name blocks only itself; an address takes
// more failures, since a school's students may share one. Entries are
// forgotten some time after their last failure. Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

class CLoginThrottle {
public:
    struct CLimits {
        unsigned freeFailures = 5;  // the failure that starts the first block
        std::int64_t firstBlockMs = 1000;
        std::int64_t maxBlockMs = 15 * 60 * 1000;
        std::int64_t forgetMs = 30 * 60 * 1000;  // after the last failure
        std::size_t maxEntries = 100000;
    };
    explicit CLoginThrottle(CLimits limits) : m_limits(limits) {}

    // Milliseconds key stays blocked from nowMs; 0 when it is not.
    std::int64_t BlockedFor(const std::string& key, std::int64_t nowMs);
    // Counts a failure; returns the block it starts (0: none yet).
    std::int64_t Failed(const std::string& key, std::int64_t nowMs);
    void Succeeded(const std::string& key);
    std::size_t Entries() const { return m_entries.size(); }

private:
    struct CEntry {
        unsigned failures = 0;
        std::int64_t lastFailureMs = 0;
        std::int64_t blockedUntilMs = 0;
    };
    void Prune(std::int64_t nowMs);

    CLimits m_limits;
    std::unordered_map<std::string, CEntry> m_entries;
};
