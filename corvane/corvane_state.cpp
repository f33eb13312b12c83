#include "corvane/corvane_state.h"

std::atomic<int> g_bUpdateIdle{1};
CSharedString g_strUserName;
CSharedString g_strPassword;
CSharedString g_strInsertCdMsg;
std::atomic<HWND> g_hAutoPlayTopWnd{nullptr};
std::atomic<WNDPROC> g_pfnAutoPlayOldProc{nullptr};
