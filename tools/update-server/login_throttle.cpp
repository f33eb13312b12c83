#include "tools/update-server/login_throttle.h"

#include <algorithm>

std::int64_t CLoginThrottle::BlockedFor(const std::string& key, std::int64_t nowMs) {
    auto it = m_entries.find(key);
    if (it == m_entries.end() || it->second.blockedUntilMs <= nowMs)
        return 0;
    return it->second.blockedUntilMs - nowMs;
}

std::int64_t CLoginThrottle::Failed(const std::string& key, std::int64_t nowMs) {
    if (m_entries.size() >= m_limits.maxEntries)
        Prune(nowMs);
    CEntry& e = m_entries[key];
    if (e.failures > 0 && nowMs - e.lastFailureMs > m_limits.forgetMs && e.blockedUntilMs <= nowMs)
        e = CEntry();
    ++e.failures;
    e.lastFailureMs = nowMs;
    if (e.failures < m_limits.freeFailures)
        return 0;
    // Doubles with each further failure; the shift is bounded first.
    const unsigned doublings = std::min(e.failures - m_limits.freeFailures, 30u);
    const std::int64_t block =
        std::min(m_limits.maxBlockMs, m_limits.firstBlockMs << std::min(doublings, 20u));
    e.blockedUntilMs = nowMs + block;
    return block;
}

void CLoginThrottle::Succeeded(const std::string& key) {
    m_entries.erase(key);
}

void CLoginThrottle::Prune(std::int64_t nowMs) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const bool stale = it->second.blockedUntilMs <= nowMs &&
                           nowMs - it->second.lastFailureMs > m_limits.forgetMs;
        it = stale ? m_entries.erase(it) : std::next(it);
    }
    // Still full (a flood of names): those not blocked go first.
    if (m_entries.size() >= m_limits.maxEntries) {
        for (auto it = m_entries.begin(); it != m_entries.end();)
            it = it->second.blockedUntilMs <= nowMs ? m_entries.erase(it) : std::next(it);
    }
    if (m_entries.size() >= m_limits.maxEntries)
        m_entries.clear();
}
