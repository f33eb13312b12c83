// The download of one package into the course's temp folder, with the
// progress window in a thread of its own.
#include "corvane/corvane_ids.h"
#include "corvane/download_thread.h"
#include "corvane/download_window.h"

bool CDownloadThread::DownloadStep(std::size_t k) {
    g_strCurrentPackage.Set(m_packages[k].serverPath);
    if (!PrepareLocalFile(k))
        return false;
    g_bCancelDownload = 0;
    g_nDownloadPercent = 0;
    auto window = std::make_unique<CDownloadWindow>();
    const bool windowStarted = window->CreateThread();
    const bool downloaded = DownloadPackage(k);
    if (windowStarted && !window->End())
        window.release();  // still running: it must outlive its thread
    m_pDownloadFile.reset();
    return downloaded;
}

bool CDownloadThread::PrepareLocalFile(std::size_t k) {
    m_pDownloadFile = std::make_unique<CFile>();
    const std::string course = CourseFolder() + "\\";
    const std::string temp = course + "temp";
    {
        CFile stale;
        if (stale.Open(temp + "\\" + m_strFileName, CFile::modeRead)) {
            stale.Close();
            DeleteFolder(temp + "\\" + m_strFileName);
        }
    }
    CreateDirectory(temp);
    // The name comes from the server: one that would not stay a plain file
    // in the temp folder ends the update.
    const std::string name = SafeLocalArchiveName(m_packages[k].serverPath);
    if (name.empty()) {
        m_pDownloadFile.reset();
        return false;
    }
    m_strLocalFile[k] = temp + "\\" + name;
    if (!m_pDownloadFile->Open(m_strLocalFile[k], CFile::modeReadWrite)) {
        m_pDownloadFile.reset();
        return false;
    }
    return true;
}

bool CDownloadThread::DownloadPackage(std::size_t k) {
    const std::string path = ComposePackagePath(m_packages[k].serverPath);
    if (m_hRequest)
        InternetCloseHandle(m_hRequest);
    const char* accept[] = {"*/*", nullptr};
    m_hRequest = HttpOpenRequest(m_hConnect, "GET", path.c_str(), "HTTP/1.0", nullptr, accept,
                                 INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!m_hRequest || !HttpSendRequest(m_hRequest, nullptr, 0, nullptr, 0))
        return false;
    const std::int64_t size = SizeOf(m_packages[k].size);
    std::int64_t received = 0;
    // The chunks go to the file as they come; 64 KB gather before each
    // write, so memory stays the same whatever the package's size.
    m_pDownloadFile->SetWriteBuffer(64 * 1024);
    int shown = -1;
    char buffer[1024] = {};
    DWORD read = 0;
    m_bArchiveLengthKnown = false;
    // A failed read counts as the end of the data: the extraction decides
    // whether the archive is whole.
    bool readOk = true;
    while ((readOk = InternetReadFile(m_hRequest, buffer, sizeof buffer - 1, &read)) && read > 0) {
        received += read;
        const int percent = DownloadPercent(received, size);
        g_nDownloadPercent = percent;
        if (g_bCancelDownload)
            return false;
        // The dialog shows the percentage: a chunk that does not change it
        // has nothing to show, and a notice per 1023 bytes would keep the
        // window's thread busy at the download's cost.
        HWND dialog = g_hDownloadDlg;
        if (dialog && percent != shown && PostMessage(dialog, WM_DOWNLOAD_PROGRESS, 0, 0))
            shown = percent;
        if (!m_pDownloadFile->Write(buffer, read))
            return false;
    }
    if (!m_pDownloadFile->CommitWrites())
        return false;
    m_pDownloadFile->Close();
    // Every byte the server announced came: the archive is as long as the
    // server's file, so one without an end block is an old archive, not a
    // cut one. Without an announced length only the archive's own end can
    // tell.
    std::uint64_t announced = 0;
    m_bArchiveLengthKnown = readOk && HttpQueryContentLength(m_hRequest, &announced) &&
                            announced == static_cast<std::uint64_t>(received);
    return true;
}
