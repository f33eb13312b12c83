// The update worker's start and end, and the server query.
#include "corvane/download_thread.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "common/system_error.h"
#include "corvane/corvane_state.h"
#include "corvane/course_browser.h"
#include "corvane/update_dialogs.h"
#include "platform/text/text.h"

DECLARE_THREAD_CLASS(CDownloadThread);

namespace {

// The course folders this process's workers are updating, and the workers
// waiting to be released; both outlive every control.
struct Workers {
    std::mutex mutex;
    std::set<std::string> courses;
    std::vector<CDownloadThread*> ended;
};

Workers& TheWorkers() {
    static Workers* workers = new Workers;
    return *workers;
}

// The process ends (exit, or a return from main) while an update runs: it
// ends at once, as the desktop OS ends a process, with its other threads
// stopped where they are. The libraries' end-of-process cleanups must not run
// under a worker: the TLS library's, pulled from under a transfer, crashes.
// An update stopped at any step is completed by the next one.
void EndAtOnceWhileUpdating(int status, void*) {
    if (!UpdateRunning())
        return;
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace

void GuardProcessEnd() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The HTTP client's cleanup at exit is registered before the check
        // above, so that the check runs first.
        InternetPrepareProcess();
        on_exit(&EndAtOnceWhileUpdating, nullptr);
    });
}

bool UpdateRunning() {
    std::lock_guard<std::mutex> lock(TheWorkers().mutex);
    return !TheWorkers().courses.empty();
}

void ReleaseWhenEnded(CDownloadThread* worker) {
    Workers& w = TheWorkers();
    std::vector<CDownloadThread*> release;
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        if (worker)
            w.ended.push_back(worker);
        auto done = [](CDownloadThread* t) {
            return !t->Handle() || WaitForThread(t->Handle(), 0) == WAIT_OBJECT_0;
        };
        for (auto it = w.ended.begin(); it != w.ended.end();) {
            if (done(*it)) {
                release.push_back(*it);
                it = w.ended.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (CDownloadThread* t : release)
        delete t;
}

bool CDownloadThread::Claim(std::unique_ptr<CInstanceLock> courseLock) {
    std::lock_guard<std::mutex> lock(TheWorkers().mutex);
    // Folder names compare as the file system compares them.
    m_bClaimed = TheWorkers().courses.insert(text::AsciiLower(CourseFolder())).second;
    if (m_bClaimed)
        m_pCourseLock = std::move(courseLock);
    return m_bClaimed;
}

void CDownloadThread::GiveBack() {
    if (!m_bClaimed)
        return;
    // The course is free for the next update or installer only once
    // everything of this one is done.
    m_pCourseLock.reset();
    std::lock_guard<std::mutex> lock(TheWorkers().mutex);
    TheWorkers().courses.erase(text::AsciiLower(CourseFolder()));
    m_bClaimed = false;
}

CDownloadThread::CDownloadThread(std::string fileName, std::string filePath, std::string versNumber,
                                 BOOL showWindow, ServerAddress server)
    : m_bShowWindow(showWindow),
      m_strFileName(std::move(fileName)),
      m_strFilePath(std::move(filePath)),
      m_strVersNumber(std::move(versNumber)),
      m_server(std::move(server)) {
    // The control releases the object once the thread has ended.
    m_bAutoDelete = false;
}

CDownloadThread::~CDownloadThread() {
    GiveBack();
    CloseInternet();
    DiscardScratchPages();
}

void CDownloadThread::CloseInternet() {
    for (HINTERNET* handle : {&m_hRequest, &m_hConnect, &m_hSession}) {
        if (*handle)
            InternetCloseHandle(*handle);
        *handle = nullptr;
    }
}

DWORD CDownloadThread::Run() {
    // Every end of the worker makes the control idle again and frees the
    // course folder for the next update.
    struct AtEnd {
        CDownloadThread* self;
        ~AtEnd() {
            self->GiveBack();
            g_bUpdateIdle = 1;
        }
    } atEnd{this};
    try {
        // What a killed update left in the temp folder goes first: no other
        // update or installer can be using it while this one holds the
        // course.
        if (m_pCourseLock)
            DeleteFolder(CourseFolder() + "\\temp", false);
        if (!QueryServer())
            return 0;
        m_bNoHistory = TRUE;
        const bool updated = RunUpdate();
        DiscardScratchPages();
        if (!updated)
            return 0;
        CloseInternet();
    } catch (const CFrameworkError&) {
        ShowSystemError();
        return 0;
    }
    return kUpdateCompleted;
}

void CDownloadThread::DiscardScratchPages() {
    for (auto* file : {&m_pExplainFile, &m_pNotesFile}) {
        if (*file)
            (*file)->Close();
    }
    // A page put in place has taken its scratch file's name away already.
    for (const std::string* scratch : {&m_strExplainScratch, &m_strNotesScratch}) {
        if (!scratch->empty() && FileExists(*scratch))
            DeleteFile(*scratch);
    }
}

bool CDownloadThread::AskLoginAgain() {
    ModuleMessageBox("错误的用户名或密码", MB_OK);
    CLoginDlg login;
    return login.DoModal() == IDOK;
}

bool CDownloadThread::OpenConnection() {
    CloseInternet();
    m_hSession = InternetOpen("corvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hSession)
        return false;
    const std::string user = g_strUserName.Get();
    const std::string password = g_strPassword.Get();
    m_hConnect = InternetConnect(m_hSession, m_server.host.c_str(), m_server.port, user.c_str(),
                                 password.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
    return m_hConnect != nullptr;
}

void CDownloadThread::SetPackages(std::vector<PackageEntry> packages) {
    m_packages = std::move(packages);
    m_strLocalFile.assign(m_packages.size(), std::string());
}

bool CDownloadThread::QueryServer() {
    if (m_strVersNumber.empty())
        m_strVersNumber.assign(1, '0');  // (GCC 12 warns wrongly on = "0")
    // Composed once: a login retry sends the first user name again, which
    // the server ignores in favour of the new credentials.
    const std::string path = ComposeQueryPath(m_strFileName, m_strVersNumber, g_strUserName.Get());
    for (;;) {
        if (!OpenConnection())
            return false;
        const char* accept[] = {"*/*", nullptr};
        m_hRequest = HttpOpenRequest(m_hConnect, "GET", path.c_str(), "HTTP/1.0", nullptr, accept,
                                     INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (!m_hRequest || !HttpSendRequest(m_hRequest, nullptr, 0, nullptr, 0))
            return false;

        std::string answer;
        char buffer[1024] = {};
        DWORD read = 0;
        // A failed read ends the answer like its end does.
        while (answer.size() < kMaxAnswerBytes &&
               InternetReadFile(m_hRequest, buffer, sizeof buffer - 1, &read) && read > 0) {
            AppendAnswerChunk(&answer, buffer, read);
            std::fill(std::begin(buffer), std::end(buffer), '\0');
        }

        switch (ClassifyAnswer(answer)) {
            case AnswerKind::LoginRefused:
                if (!AskLoginAgain())
                    return false;
                continue;
            case AnswerKind::NoUpdate:
                MessageBox(nullptr, "此课程没有更新内容", "提示", MB_OK | MB_ICONINFORMATION);
                return false;
            case AnswerKind::UpdateList:
                m_strPackage = SplitAnswerFields(answer);
                return true;
        }
    }
}
