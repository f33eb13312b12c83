#include "install/work_thread.h"

#include <algorithm>
#include <climits>
#include <exception>

#include "common/cd_drive.h"
#include "common/system_error.h"
#include "install/install_state.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

DECLARE_THREAD_CLASS(CWorkThread);

namespace {

// Deeper than any course tree; keeps a folder link that points back up
// from walking for ever.
constexpr int kMaxFolderDepth = 64;

}  // namespace

bool IsMediaFile(const std::string& fileName) {
    // '.' is never the trail byte of a double-byte character.
    std::size_t dot = fileName.rfind('.');
    std::string ext = dot == std::string::npos ? fileName : fileName.substr(dot + 1);
    for (const char* media : {"asf", "wmv", "wma", "asx"})
        if (text::EqualsNoCase(ext, media))
            return true;
    return false;
}

CWorkThread::CWorkThread(HWND hNotifyWnd) : m_hNotifyWnd(hNotifyWnd) {}

DWORD CWorkThread::Run() {
    try {
        m_nTotal = 0;
        m_nCopied = 0;
        m_nPercent = 0;
        m_bCountStarted = 0;
        if (DWORD code = PrepareSource(); code != 0)
            Fail(code);
        CopyFiles(m_strCdRoot + "*.*");
        SetFileAttributes(m_strInstallDir + "\\navbar\\navbar.htm", FILE_ATTRIBUTE_NORMAL);
        if (g_bLastCd && !(PatchNavbar() && CopyTvPages() && ResetStartChapter()))
            Fail(kWorkerExit);
        PostNotice(WM_INSTALL_CD_DONE);
    } catch (const CFrameworkError&) {
        ShowSystemError();
        Fail(kWorkerExit);
    } catch (const std::exception&) {
        // Whatever else goes wrong must still end the progress dialog.
        ShowSystemError();
        Fail(kWorkerExit);
    }
    ExitThread(kWorkerExit);
}

void CWorkThread::Fail(DWORD code) {
    PostMessage(m_hNotifyWnd, WM_QUIT, 0, 0);
    ExitThread(code);
}

void CWorkThread::PostNotice(UINT message) {
    PostMessage(m_hNotifyWnd, message, 0, 0);
}

DWORD CWorkThread::PrepareSource() {
    m_strCdRoot = FindCdDrive();
    if (m_strCdRoot.empty()) {
        // Without a drive there is nothing to copy from; walking the current
        // folder instead would copy whatever happens to be there.
        AfxMessageBox("没有找到光驱，请插入课件光盘后重新安装。");
        return kWorkerExit;
    }
    g_strCdRoot = m_strCdRoot;
    m_strSkipDir = m_strCdRoot + "systeminfo";
    if (!ReadInstallSettings(g_strBaseDir + "setup.ini"))
        return kQuitSetupError;
    CountFiles(m_strCdRoot);
    return 0;
}

std::string CWorkThread::Destination(const std::string& sourcePath) const {
    std::size_t slash = text::FindFirstBackslash(sourcePath);
    std::string relative = slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
    return m_strInstallDir + "\\" + relative;
}

bool CWorkThread::IsWalked(const std::string& name, const std::string& path, bool isFolder) const {
    // A name holding a separator (possible on a Unix file system) would
    // reach outside the installed course folder.
    if (text::FindFirstBackslash(name) != std::string::npos)
        return false;
    if (name.find('/') != std::string::npos)
        return false;
    return !(isFolder && text::EqualsNoCase(path, m_strSkipDir));
}

bool CWorkThread::IsCounted(const std::string& fileName) const {
    return g_bCopyMedia || !IsMediaFile(fileName);
}

int CWorkThread::OverallPercent() const {
    // A CD with nothing to copy is complete at once.
    if (m_nTotal <= 0)
        return 100;
    long long percent = static_cast<long long>(m_nCopied) * 100 / m_nTotal;
    return static_cast<int>(std::min<long long>(percent, 100));
}

void CWorkThread::CountFiles(const std::string& folderOrPattern, int depth) {
    std::string pattern = folderOrPattern;
    if (!m_bCountStarted) {
        pattern += "*.*";
        m_bCountStarted = 1;
    }
    CFileFind finder;
    bool more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        std::string name = finder.GetFileName();
        std::string path = finder.GetFilePath();
        bool isFolder = finder.IsDirectory();
        if (!IsWalked(name, path, isFolder))
            continue;
        if (isFolder) {
            if (depth >= kMaxFolderDepth)
                continue;
            CreateDirectory(Destination(path));
            CountFiles(path + "\\*.*", depth + 1);
        } else if (IsCounted(name) && m_nTotal < INT_MAX) {
            ++m_nTotal;
        }
    }
}

void CWorkThread::CopyFiles(const std::string& pattern, int depth) {
    CFileFind finder;
    bool more = finder.FindFile(pattern);
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        std::string name = finder.GetFileName();
        std::string path = finder.GetFilePath();
        bool isFolder = finder.IsDirectory();
        if (!IsWalked(name, path, isFolder))
            continue;
        if (isFolder) {
            if (depth < kMaxFolderDepth && m_nPercent != 100)
                CopyFiles(path + "\\*.*", depth + 1);
            continue;
        }
        if (IsCounted(name)) {
            std::string destination = Destination(path);
            g_nFilePercent = 0;
            g_strCurrentFile.Set(destination);
            PostNotice(WM_INSTALL_PROGRESS);
            // A file that can't be copied (a read-only one already there, say)
            // still counts, so that the run reaches its end.
            CopyFile(path, destination, false);
            g_nFilePercent = 100;
            PostNotice(WM_INSTALL_PROGRESS);
            if (m_nCopied < INT_MAX)
                ++m_nCopied;
        }
        m_nPercent = OverallPercent();
        g_nOverallPercent = m_nPercent;
        if (m_nPercent != 100) {
            PostNotice(WM_INSTALL_PROGRESS);
        } else {
            // The dialog shows the final values when the CD is done.
            SetFileAttributes(m_strInstallDir + "\\left\\items.vbs", FILE_ATTRIBUTE_NORMAL);
            break;
        }
    }
}
