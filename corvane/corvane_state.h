// Module-wide state of the update control: one copy per process, shared by
// every control and by the update worker. Values the worker also touches are
// atomics or guarded by a lock.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "platform/ui/ui.h"

// A string read and written from more than one thread: every access copies
// under the lock.
class CSharedString {
public:
    std::string Get() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_value;
    }
    void Set(std::string value) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_value;
};

// 1 while no Download call is running; every control construction sets it.
extern std::atomic<int> g_bUpdateIdle;
// Typed in the login dialog, read by the update server query.
extern CSharedString g_strUserName;
extern CSharedString g_strPassword;
// The insert-CD prompt RightMFile built last.
extern CSharedString g_strInsertCdMsg;
// The top-level window the AutoPlay hook took over, and its old procedure.
// (g_uQueryCancelAutoPlay lives with the AutoPlay registration in common/.)
extern std::atomic<HWND> g_hAutoPlayTopWnd;
extern std::atomic<WNDPROC> g_pfnAutoPlayOldProc;
