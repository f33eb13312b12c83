// The update procedure of the worker: the course's name and start page, the
// notes pages, the offer, and for each package its download, extraction,
// copy over the course and version record.
#include <filesystem>

#include "common/course_description.h"
#include "common/course_record.h"
#include "common/program_codes.h"
#include "common/system_error.h"
#include "corvane/corvane_state.h"
#include "corvane/course_browser.h"
#include "corvane/download_thread.h"
#include "corvane/notes_pages.h"
#include "corvane/update_dialogs.h"
#include "platform/fs/fs.h"
#include "platform/fs/tree_copy.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "platform/ui/ui.h"

namespace {

// How deep an unpacked tree is followed; deeper folders are not applied.
constexpr int kMaxTreeDepth = 64;

// Writes bytes into scratch and puts it in place of page; the scratch file
// never stays behind.
bool ReplacePageWith(CFile& scratchFile, const std::string& scratch, const std::string& page,
                     const std::string& bytes) {
    bool written = scratchFile.Write(bytes.data(), bytes.size()) && scratchFile.Flush();
    scratchFile.Close();
    if (!written || !ReplaceFile(scratch, page)) {
        DWORD error = GetLastError();
        DeleteFile(scratch);
        SetLastError(error);
        return false;
    }
    return true;
}

// The Unix form of a Windows path, made absolute and normal, or "".
std::filesystem::path UnixOf(const std::string& winPath) {
    std::optional<std::string> unix = ToUnixPath(winPath);
    if (!unix)
        return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(*unix, ec);
    return ec ? std::filesystem::path() : p;
}

// True when path lies strictly inside folder (its links resolved).
bool Inside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    if (path.empty() || folder.empty())
        return false;
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (p == path.end() || *p != *f)
            return false;
    }
    return p != path.end();
}

}  // namespace

bool CDownloadThread::RunUpdate() {
    if (!ReadCourseInfo() || !PrepareNotesPages())
        return false;
    const std::string course = CourseFolder();
    const std::string keyPath = CourseRecordKey(m_strFileName);
    DeleteFolder(course + "\\temp", false);

    const std::size_t n = CountFields(m_strPackage);
    m_nTotalSize = 0;
    if (!ParsePackages(m_strPackage, n, &m_packages, &m_nTotalSize))
        return false;

    const std::string links =
        ExplainLinkList(ServerBaseAddress(m_server.host, m_server.port), m_strFileName, m_packages);
    const std::string explainPage = course + "\\systemInfo\\" + "explain.htm";
    if (!ReplacePageWith(*m_pExplainFile, m_strExplainScratch, explainPage, links + '\0'))
        return false;
    m_strNotes = HistoryText(m_strCourseName, links, !m_bNoHistory, m_strKeptNotes);

    g_strOfferFilePath.Set(m_strFilePath);
    g_strOfferFileName.Set(m_strFileName);
    CUpdateOfferDlg offer;
    offer.m_strText = OfferText(m_nTotalSize);
    const std::string historyPage = course + "\\systeminfo\\" + "alter.htm";
    if (offer.DoModal() != IDOK) {
        // Declined: the history page keeps its earlier content.
        m_pNotesFile->Close();
        DeleteFile(m_strNotesScratch);
        return false;
    }
    if (!ReplacePageWith(*m_pNotesFile, m_strNotesScratch, historyPage, TextPageBytes(m_strNotes)))
        return false;

    m_strLocalFile.assign(m_packages.size(), std::string());
    for (std::size_t k = 0; k < m_packages.size(); ++k) {
        if (!DownloadStep(k) || !ExtractPackage(k) || !ApplyExtractedTree() ||
            !WriteVersion(keyPath, m_packages[k].code))
            return false;
        DeleteFolder(course + "\\temp", false);
    }

    if (!OpenInCourseBrowser(course, historyPage)) {
        ShowSystemError();
        return false;
    }
    OpenStartPage();
    return true;
}

bool CDownloadThread::ReadCourseInfo() {
    UpdateValues values;
    if (!ReadUpdateValues(CourseFolder() + "\\setup.ini", &values))
        return false;
    m_strCourseName = values.courseName;
    m_strStartPage = values.defaultPage;
    return !m_strCourseName.empty();
}

bool CDownloadThread::PrepareNotesPages() {
    const std::string course = CourseFolder();
    const std::string explain = course + "\\systemInfo\\" + "explain.htm";
    const std::string history = course + "\\systeminfo\\" + "alter.htm";
    // The pages are written to scratch files beside them and put in place in
    // one step; a page that exists must be writable as it was before.
    for (const std::string& page : {explain, history}) {
        if (FileExists(page)) {
            CFile check;
            if (!check.Open(page, CFile::modeReadWrite))
                return false;
        }
    }
    // Each page is written to a scratch file beside it that takes its name
    // when whole, so it is never left empty or half written.
    // Those an update killed half-way left are removed first.
    RemoveStaleScratchFiles(course + "\\systeminfo");
    m_strExplainScratch = ScratchPathBeside(explain);
    m_pExplainFile = std::make_unique<CFile>();
    if (!m_pExplainFile->Open(m_strExplainScratch, CFile::modeWrite))
        return false;

    CFile earlier;
    if (earlier.Open(history, CFile::modeRead)) {
        std::vector<std::string> lines;
        std::string line;
        while (earlier.ReadLine(&line))
            lines.push_back(line);
        m_strKeptNotes = KeptHistoryLines(lines);
        m_bNoHistory = FALSE;
    }
    m_strNotesScratch = ScratchPathBeside(history);
    m_pNotesFile = std::make_unique<CFile>();
    if (!m_pNotesFile->Open(m_strNotesScratch, CFile::modeWrite)) {
        m_pExplainFile->Close();
        DeleteFile(m_strExplainScratch);
        return false;
    }
    return true;
}

bool CDownloadThread::ExtractPackage(std::size_t k) {
    const std::string course = CourseFolder();
    const std::string commandLine = "\"" + course + "\\systeminfo\\" + "soft\\" + "winrar.exe" +
                                    "\"" + " x " + "\"" + m_strLocalFile[k] + "\"" + " " + "\"" +
                                    course + "\\temp" + "\"" + " -y";
    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    // The extractor ends with this process, however it ends: killed, it
    // must not go on writing into the temp folder under the next update.
    // It learns whether the archive's length was known from the transfer.
    std::u16string environment = GetEnvironmentStringsW();
    if (m_bArchiveLengthKnown) {
        environment.pop_back();
        environment += text::Utf8ToUtf16(std::string(kArchiveLengthKnownVariable) + "=1");
        environment += std::u16string(2, u'\0');
    }
    if (!CreateProcess(
            nullptr, commandLine.c_str(), FALSE,
            NORMAL_PRIORITY_CLASS | CREATE_ENDS_WITH_STARTER | CREATE_UNICODE_ENVIRONMENT,
            environment.data(), nullptr, &startup, &process)) {
        ShowSystemError();
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFile(m_strLocalFile[k]);
    // A damaged or short archive (or an error page stored as one) is not
    // applied: nothing is copied and its version is not recorded.
    if (exitCode != 0) {
        ModuleMessageBox("更新包不完整或已损坏，无法解压。本次更新没有完成，请稍后再试。",
                         MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CDownloadThread::ApplyExtractedTree() {
    const std::string course = CourseFolder();
    m_strTempRoot = course + "\\temp";
    m_strTargetRoot =
        m_strFilePath.empty() ? std::string() : m_strFilePath.substr(0, m_strFilePath.size() - 1);
    m_nCopyFailures = 0;
    m_strFirstCopyFailure.clear();
    // Only the first entry of the temp folder is applied: the package's top
    // folder, named like the course folder, whose tree mirrors the course.
    // It lands on the folder that holds the course, so that top folder is
    // the course itself; a top folder of another name lands beside it.
    CWalkFolder temp;
    WalkEntry first;
    if (FindFirstEntry(&temp, &first)) {
        const std::string to = m_strTargetRoot + "\\" + first.name;
        CCopyTarget root;
        CCopyTarget top;
        if (first.link || first.kind == WalkKind::Other) {
            // Links in the unpacked tree are never followed.
        } else if (first.kind == WalkKind::File) {
            if (!root.Open(m_strTargetRoot, CCopyTarget::ERules::kPlain) ||
                root.MoveFrom(temp) == CCopyTarget::kFailed)
                CountCopyFailure(to);
        } else if (text::EqualsNoCase(first.name, m_strFileName)
                       ? !top.Open(course, CCopyTarget::ERules::kPlain)
                       : !root.Open(m_strTargetRoot, CCopyTarget::ERules::kPlain) ||
                             !top.OpenChild(root, temp)) {
            CountCopyFailure(to);
        } else {
            CWalkFolder unpacked;
            if (unpacked.OpenChild(temp))
                CopyTree(unpacked, top, to, 0);
            else
                CountCopyFailure(to);
        }
        DeleteFolder(m_strTempRoot + "\\" + first.name);
    }
    // A package whose files did not all reach the course is not recorded
    // as installed: the next update offers it again.
    if (m_nCopyFailures > 0) {
        ModuleMessageBox("有 " + std::to_string(m_nCopyFailures) +
                             " 个课件文件未能更新，本次更新没有完成：\n" + m_strFirstCopyFailure,
                         MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CDownloadThread::FindFirstEntry(CWalkFolder* temp, WalkEntry* first) {
    return temp->OpenRoot(m_strTempRoot) && temp->Next(first);
}

void CDownloadThread::CopyTree(CWalkFolder& from, CCopyTarget& to, const std::string& toPath,
                               int depth) {
    WalkEntry entry;
    while (from.Next(&entry)) {
        const std::string path = toPath + "\\" + entry.name;
        // Links in the unpacked tree are never followed, and the course's
        // bin folder holds the system's own programs: a package's entries
        // for it (or for another course's beside it) are left out.
        if (entry.link || entry.kind == WalkKind::Other ||
            (depth == 0 && text::EqualsNoCase(entry.name, "bin")))
            continue;
        if (entry.kind == WalkKind::File) {
            if (to.MoveFrom(from) == CCopyTarget::kFailed)
                CountCopyFailure(path);
            continue;
        }
        // Folders are made before their content.
        CCopyTarget folder;
        CWalkFolder unpacked;
        if (depth >= kMaxTreeDepth || !folder.OpenChild(to, from) || !unpacked.OpenChild(from)) {
            CountCopyFailure(path);
            continue;
        }
        CopyTree(unpacked, folder, path, depth + 1);
    }
}

void CDownloadThread::CountCopyFailure(const std::string& path) {
    const DWORD error = GetLastError();
    if (m_nCopyFailures++ == 0)
        m_strFirstCopyFailure = path + "\n" + text::TrimRight(FormatSystemMessage(error));
}

bool CDownloadThread::DeleteFolder(const std::string& path, bool tellFailure) {
    // Only what lies inside the course folder is removed, whatever the path
    // says; links are removed as links, never followed.
    const std::filesystem::path course = UnixOf(CourseFolder());
    std::optional<std::string> unix = ToUnixPath(path);
    bool inside = false;
    if (unix) {
        // The entry itself is not resolved (a link is removed as a link);
        // the folder holding it is.
        std::filesystem::path target = std::filesystem::path(*unix).lexically_normal();
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::weakly_canonical(target.parent_path(), ec);
        inside = !ec && !target.filename().empty() && Inside(folder / target.filename(), course);
    }
    if (inside && DeleteTreeSilently(path))
        return true;
    if (tellFailure)
        ModuleMessageBox("delete file folder error", MB_OK);
    return false;
}

bool CDownloadThread::WriteVersion(const std::string& keyPath, const std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, keyPath.c_str(), &key) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueEx(key, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        ModuleMessageBox("write register error", MB_OK);
        return false;
    }
    return true;
}

void CDownloadThread::OpenStartPage() {
    const std::string course = CourseFolder();
    if (!OpenInCourseBrowser(course, course + "\\" + m_strStartPage))
        ShowSystemError();
}
