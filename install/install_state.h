// What the installer's dialogs and its worker share: the process-wide
// values, the two notices the worker posts to the progress dialog, and the
// codes the program and its threads end with. Strings are GBK.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "common/course_description.h"
#include "common/program_codes.h"
#include "common/shared_string.h"
#include "platform/ui/ui.h"

// Notices from the worker to the progress dialog (wParam 0, lParam 0); the
// values travel in the shared state below.
enum : UINT {
    WM_INSTALL_PROGRESS = WM_USER + 101,  // show the current progress values
    WM_INSTALL_CD_DONE = WM_USER + 102,   // the worker has finished this CD
};

// Parent folder of the program's folder, with trailing backslash.
extern std::string g_strBaseDir;
// setup.ini values; written by the main dialog's start and by the worker
// before its first notice, read by the dialogs after WM_INSTALL_CD_DONE.
extern std::string g_strCourseName;
extern std::string g_strTotalCd;
extern std::string g_strNowCd;
extern std::atomic<bool> g_bLastCd;
// Set by the main dialog before the worker starts.
extern std::atomic<bool> g_bCopyMedia;
// The installation of this CD failed (the user has been told): the program
// ends with kQuitInstallFailed instead of its normal code.
extern std::atomic<bool> g_bInstallFailed;
// Written by the worker before it ends; read by the check of an inserted CD
// and the abort path.
extern std::string g_strCdRoot;
extern std::string g_strInstallDir;
// Progress: written by the worker, read by the progress dialog at each notice.
extern std::atomic<int> g_nOverallPercent;
extern std::atomic<int> g_nFilePercent;
extern CSharedString g_strCurrentFile;
// User-interface thread only.
extern std::string g_strPrompt;
extern HWND g_hMainWnd;

// The setup.ini values the installer keeps, as a reader's starting point: a
// key that a later reading doesn't find keeps its earlier value.
CourseDescription SharedCourseDescription();
// Keeps what a reader found (course id, name, CD numbers, last-CD flag).
void StoreSharedCourseDescription(const CourseDescription& values);
