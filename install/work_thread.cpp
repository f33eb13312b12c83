#include "install/work_thread.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <exception>

#include "common/cd_drive.h"
#include "common/program_codes.h"
#include "common/system_error.h"
#include "install/install_state.h"
#include "platform/error/error.h"
#include "platform/fs/fs.h"
#include "platform/process/announce.h"
#include "platform/text/text.h"

DECLARE_THREAD_CLASS(CWorkThread);

namespace {

// Deeper than any course tree.
constexpr int kMaxFolderDepth = 64;
// A file at least this large takes long enough to copy that the dialog is
// to show its name at once.
constexpr std::uint64_t kLongCopyBytes = 1 << 20;

// The folder part of a search pattern, with its trailing backslash.
std::string FolderOfPattern(const std::string& pattern) {
    std::size_t slash = text::FindLastBackslash(pattern);
    return slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
}

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
        if (m_nFailed > 0) {
            // Neither the pages nor the next CD: a run of this CD again is
            // to find the course as this one left it.
            ReportLostFiles();
            FailInstallation();
        }
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

void CWorkThread::FailInstallation() {
    g_bInstallFailed = true;
    Fail(kWorkerExit);
}

void CWorkThread::PostNotice(UINT message) {
    if (message == WM_INSTALL_PROGRESS && !m_throttle.ShouldSend(g_nOverallPercent))
        return;
    PostMessage(m_hNotifyWnd, message, 0, 0);
}

void CWorkThread::SendHeldBackNotice() {
    if (!m_throttle.HasHeldBack())
        return;
    m_throttle.MarkSent(g_nOverallPercent);
    PostMessage(m_hNotifyWnd, WM_INSTALL_PROGRESS, 0, 0);
}

void CWorkThread::RecordFailure(const std::string& destination, DWORD error) {
    if (m_nFailed == 0) {
        m_strFirstFailed = destination;
        m_dwFirstFailedError = error;
    }
    if (m_nFailed < INT_MAX)
        ++m_nFailed;
}

void CWorkThread::ReportLostFiles() {
    std::string reason = text::TrimRight(FormatSystemMessage(m_dwFirstFailedError));
    AfxMessageBox("有 " + std::to_string(m_nFailed) +
                  " 个文件没有复制成功，课件安装没有完成。\n第一个是：" + m_strFirstFailed +
                  "\n原因：" + reason + "\n请排除问题后重新安装。");
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
    const std::string folder = FolderOfPattern(pattern);
    CWalkFolder root;
    if (root.OpenRoot(folder.empty() ? "." : folder))
        CountIn(root, folder, depth);
}

void CWorkThread::CountIn(CWalkFolder& folder, const std::string& winFolder, int depth) {
    WalkEntry entry;
    while (folder.Next(&entry)) {
        if (entry.kind == WalkKind::Other)
            continue;  // a FIFO, a device, a link out of the CD or back up
        const bool isFolder = entry.kind == WalkKind::Folder;
        const std::string path = winFolder + entry.name;
        if (!IsWalked(entry.name, path, isFolder))
            continue;
        if (isFolder) {
            if (depth >= kMaxFolderDepth)
                continue;
            CreateDirectory(Destination(path));
            CWalkFolder child;
            if (child.OpenChild(folder))
                CountIn(child, path + "\\", depth + 1);
        } else if (IsCounted(entry.name) && m_nTotal < INT_MAX) {
            ++m_nTotal;
        }
    }
}

void CWorkThread::CopyFiles(const std::string& pattern, int depth) {
    const std::string folder = FolderOfPattern(pattern);
    CWalkFolder root;
    if (!root.OpenRoot(folder.empty() ? "." : folder)) {
        RecordFailure(Destination(folder), GetLastError());
        return;
    }
    CopyIn(root, folder, depth);
}

void CWorkThread::CopyIn(CWalkFolder& folder, const std::string& winFolder, int depth) {
    // The destination folder is opened once, at its first file.
    CCopyTarget target;
    bool targetTried = false;
    DWORD targetError = ERROR_SUCCESS;
    auto announceLongCopy = [this](std::uint64_t size) {
        if (size >= kLongCopyBytes)
            SendHeldBackNotice();
    };
    WalkEntry entry;
    for (;;) {
        if (!folder.Next(&entry)) {
            // A disc that can't be read to the end loses what it still held.
            if (GetLastError() != ERROR_NO_MORE_FILES)
                RecordFailure(Destination(winFolder), GetLastError());
            break;
        }
        if (entry.kind == WalkKind::Other)
            continue;
        const bool isFolder = entry.kind == WalkKind::Folder;
        const std::string path = winFolder + entry.name;
        if (!IsWalked(entry.name, path, isFolder))
            continue;
        if (isFolder) {
            if (depth < kMaxFolderDepth && m_nPercent != 100) {
                CWalkFolder child;
                if (child.OpenChild(folder))
                    CopyIn(child, path + "\\", depth + 1);
                else
                    RecordFailure(Destination(path), GetLastError());
            }
            continue;
        }
        if (IsCounted(entry.name)) {
            std::string destination = Destination(path);
            g_nFilePercent = 0;
            g_strCurrentFile.Set(destination);
            PostNotice(WM_INSTALL_PROGRESS);
            if (!targetTried) {
                targetTried = true;
                if (!target.Open(Destination(winFolder)))
                    targetError = GetLastError();
            }
            // A file that can't be copied still counts, so that the run
            // reaches its end; the run then ends as failed. A read-only file
            // already in the course is kept, as the original system did.
            if (targetError != ERROR_SUCCESS)
                RecordFailure(destination, targetError);
            else if (target.CopyFrom(folder, announceLongCopy) == CCopyTarget::kFailed)
                RecordFailure(destination, GetLastError());
            g_nFilePercent = 100;
            PostNotice(WM_INSTALL_PROGRESS);
            if (m_nCopied < INT_MAX)
                ++m_nCopied;
        }
        m_nPercent = OverallPercent();
        // The setup step shows a user at a terminal how far the CD is.
        if (m_nPercent != m_nAnnouncedPercent) {
            m_nAnnouncedPercent = m_nPercent;
            Announce(std::string(kProgressAnnouncement) + " " + std::to_string(m_nPercent) + " " +
                     std::to_string(m_nCopied) + " " + std::to_string(m_nTotal));
        }
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
