#include "install/notice_throttle.h"

#include <thread>

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CNoticeThrottle::CNoticeThrottle(std::function<std::int64_t()> clockMs, std::int64_t intervalMs)
    : m_clockMs(clockMs ? std::move(clockMs) : SteadyMs), m_nIntervalMs(intervalMs) {}

bool CNoticeThrottle::ShouldSend(int overallPercent) {
    const std::int64_t now = m_clockMs();
    if (overallPercent == m_nLastPercent && now - m_nLastSentMs < m_nIntervalMs) {
        m_bHeldBack = true;
        return false;
    }
    m_nLastPercent = overallPercent;
    m_nLastSentMs = now;
    m_bHeldBack = false;
    return true;
}

void CNoticeThrottle::MarkSent(int overallPercent) {
    m_nLastPercent = overallPercent;
    m_nLastSentMs = m_clockMs();
    m_bHeldBack = false;
}
