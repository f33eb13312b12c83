// How often the worker's progress notices reach the progress dialog. Each
// notice wakes the window thread, and a copy of small files asks for three
// a file; the dialog only needs the values a person can see change. A
// notice goes out when the all-files percentage differs from the one last
// sent or when the interval has passed since the last one; the others are
// held back, and the latest values go out with the next notice sent.
#pragma once

#include <cstdint>
#include <functional>

class CNoticeThrottle {
public:
    // clockMs gives a monotonic time in milliseconds (tests pass their own).
    explicit CNoticeThrottle(std::function<std::int64_t()> clockMs = nullptr,
                             std::int64_t intervalMs = 20);

    // Whether a notice announcing overallPercent is to be sent now; the
    // answer true counts as sent.
    bool ShouldSend(int overallPercent);
    // Whether a notice has been held back since the last one sent.
    bool HasHeldBack() const { return m_bHeldBack; }
    // Counts a notice sent outside ShouldSend (the held-back values).
    void MarkSent(int overallPercent);

private:
    std::function<std::int64_t()> m_clockMs;
    std::int64_t m_nIntervalMs;
    std::int64_t m_nLastSentMs = 0;
    int m_nLastPercent = -1;  // none sent yet
    bool m_bHeldBack = false;
};
