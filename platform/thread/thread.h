// Threads with exit codes, as the system's framework has them: a thread
// object runs a start routine; the thread ends with a code, either by
// returning it or by ExitThread from any depth (which unwinds, so files
// close); others wait for it and read its code. The state a handle refers to
// outlives both the thread and the thread object.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/error/error.h"

enum : DWORD { STILL_ACTIVE = 259, INFINITE = 0xFFFFFFFFu, WAIT_OBJECT_0 = 0 };
// WaitForThread on a null handle (last error ERROR_INVALID_HANDLE).
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

struct ThreadState;
using HTHREAD = std::shared_ptr<ThreadState>;

// Thrown by ExitThread; deliberately not derived from std::exception, so
// handlers that catch framework errors let it pass.
struct CThreadExit {
    DWORD code;
};

// End the calling thread now with code (unwinds to the start routine's
// wrapper). On the program's main thread this ends the program's main with
// that code.
[[noreturn]] void ExitThread(DWORD code);

// A handle to the calling thread (also for threads not made here).
HTHREAD GetCurrentThreadHandle();
// A small number unique to the thread within the process.
DWORD GetCurrentThreadId();
// The id of the thread a handle refers to (known from the moment the thread is
// started; 0 for a null handle).
DWORD GetThreadId(const HTHREAD& thread);

// Wait for a thread to end: WAIT_OBJECT_0, or WAIT_TIMEOUT after timeoutMs
// (INFINITE waits for ever). A thread counts as ended once its start routine
// has returned and the windows it owned are gone.
DWORD WaitForThread(const HTHREAD& thread, DWORD timeoutMs = INFINITE);
// The exit code, or STILL_ACTIVE while it runs.
DWORD GetExitCodeThread(const HTHREAD& thread);

// Start a plain thread running fn; its return value is the exit code. A
// framework error or other exception escaping fn ends the thread with the
// error's code (ERROR_INVALID_FUNCTION for other exceptions) and a message on
// stderr; it never ends the process. Null (with last error) when no thread
// can be made.
HTHREAD StartThread(std::function<DWORD()> fn);

// The framework's thread class. Subclasses override Run (return value = exit
// code). With m_bAutoDelete the object deletes itself when its thread ends,
// whether Run returns or the thread ends with ExitThread or an error; so a
// starter that needs the object or its handle afterwards starts the thread
// suspended, takes what it needs, then resumes it.
class CWinThread {
public:
    CWinThread();
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // CreateThread's flag (the value of the system's CREATE_SUSPENDED).
    static constexpr DWORD kCreateSuspended = 0x4;
    // Starts the thread (false on failure, with last error); with
    // kCreateSuspended it waits for ResumeThread before running Run.
    bool CreateThread(DWORD flags = 0);
    // Lets a suspended thread run. With m_bAutoDelete the object may be gone
    // as soon as this returns.
    void ResumeThread();
    virtual DWORD Run() = 0;

    HTHREAD Handle() const { return m_hThread; }
    bool m_bAutoDelete = true;

protected:
    HTHREAD m_hThread;

private:
    struct ResumeGate;
    std::shared_ptr<ResumeGate> m_resume;
};

// Run-time classes: a thread class registered under its name can be created
// by that name.
using ThreadFactory = std::function<CWinThread*()>;
void RegisterThreadClass(const std::string& name, ThreadFactory factory);
CWinThread* CreateThreadObject(const std::string& name);  // null when unknown

#define DECLARE_THREAD_CLASS(cls)         \
    static const bool cls##_registered_ = \
        (RegisterThreadClass(#cls, []() -> CWinThread* { return new cls(); }), true)
