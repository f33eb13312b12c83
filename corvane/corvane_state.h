// Module-wide state of the update control: one copy per process, shared by
// every control and by the update worker. Values the worker also touches are
// atomics or guarded by a lock.
#pragma once

#include <atomic>
#include <string>

#include "common/shared_string.h"
#include "platform/ui/ui.h"

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
