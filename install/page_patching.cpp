// The worker's jobs around the copy: where the course is installed, and on
// the last CD the patching of the navigation page, the media pages and the
// chapter list. Patched text goes to a scratch file first, which then takes
// the page's place in one step, so the page is never missing: it holds
// either its old or its new text.
#include <functional>
#include <string>
#include <vector>

#include "common/course_description.h"
#include "common/system_error.h"
#include "install/install_dir.h"
#include "install/install_state.h"
#include "install/page_rules.h"
#include "install/work_thread.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

// How often the navigation page's replacement is tried before the step
// fails (the user is told in between).
constexpr int kReplaceAttempts = 3;

// A scratch file beside a page, deleted again unless it took the page's
// place: no failure leaves one behind.
class CScratchFile {
public:
    explicit CScratchFile(const std::string& page) : m_strPath(ScratchPathBeside(page)) {}
    ~CScratchFile() {
        if (!m_bUsed) {
            DWORD error = GetLastError();
            DeleteFile(m_strPath);
            SetLastError(error);  // the failure's own code is what the caller shows
        }
    }
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;
    const std::string& Path() const { return m_strPath; }
    void Used() { m_bUsed = true; }

private:
    std::string m_strPath;
    bool m_bUsed = false;
};

bool WriteLine(CFile& out, const std::string& line) {
    return out.WriteString(line) && out.WriteString("\r\n");
}

// The one rewrite of a course page: every line of page through patch (which
// may refuse a line), then the tail lines, into scratch with CR LF line ends.
// The page itself is not touched; the caller puts scratch in its place.
bool WriteRewrittenPage(const std::string& page, const std::string& scratch,
                        const std::function<bool(std::string* line)>& patch,
                        const std::vector<std::string>& tail = {}) {
    CFile in;
    CFile out;
    if (!in.Open(page, CFile::modeRead) || !out.Open(scratch, CFile::modeWrite))
        return false;
    out.SetWriteBuffer(64 * 1024);  // two writes per line otherwise
    std::string line;
    while (in.ReadLine(&line))
        if (!patch(&line) || !WriteLine(out, line))
            return false;
    for (const std::string& tailLine : tail)
        if (!WriteLine(out, tailLine))
            return false;
    return out.Flush();
}

// An insteadfile value names one folder inside systeminfo: no drive, no
// separator at its start, no step up.
bool IsPlainFolderName(const std::string& name) {
    if (name.find(':') != std::string::npos)
        return false;
    std::string rest = name;
    for (char& c : rest)
        if (c == '/')
            c = '\\';
    if (rest.front() == '\\')
        return false;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string::npos)
            end = rest.size();
        if (rest.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool CWorkThread::ReadInstallSettings(const std::string& setupIniPath) {
    CourseDescription values = SharedCourseDescription();
    values.insteadFile = m_strInsteadFile;
    values.extendName = m_strExtendName;
    values.defaultPage = m_strDefault;
    values.keyLineError = false;
    std::string courseId =
        ReadCourseDescription(setupIniPath, DescriptionVariant::Worker, &values, m_hNotifyWnd);
    StoreSharedCourseDescription(values);
    m_strInsteadFile = values.insteadFile;
    m_strExtendName = values.extendName;
    m_strDefault = values.defaultPage;

    if (m_strInsteadFile.empty() || m_strExtendName.empty() ||
        !IsPlainFolderName(m_strInsteadFile)) {
        AfxMessageBox("setup.ini insteadfile or extendname error.");
        return false;
    }
    std::string installDir;
    if (!ReadInstallDir(courseId, &installDir))
        return false;
    m_strInstallDir = installDir;
    g_strInstallDir = installDir;
    // A key line without "=" has had its message; the run ends all the same.
    return !values.keyLineError;
}

bool CWorkThread::ReplacePage(const std::string& scratchPath, const std::string& pagePath) {
    if (!ReplaceFile(scratchPath, pagePath)) {
        ShowSystemError();
        return false;
    }
    return true;
}

bool CWorkThread::PatchNavbar() {
    const std::string page = m_strInstallDir + "\\navbar\\navbar.htm";
    // A scratch name of this step alone: another step or run never meets it.
    CScratchFile scratch(page);
    SetFileAttributes(page, FILE_ATTRIBUTE_NORMAL);
    CNavbarCellInserter inserter;
    auto insertCell = [&](std::string* line) {
        *line = inserter.Patch(*line);
        return true;
    };
    if (!WriteRewrittenPage(page, scratch.Path(), insertCell, UpdateBlockLines()))
        return false;
    {
        CFile check;
        if (!check.Open(scratch.Path(), CFile::modeRead)) {
            AfxMessageBox("can't open file strTempPath");
            return false;
        }
    }
    for (int attempt = 1;; ++attempt) {
        if (ReplaceFile(scratch.Path(), page)) {
            scratch.Used();
            return true;
        }
        DWORD error = GetLastError();
        if (attempt == kReplaceAttempts) {
            SetLastError(error);
            ShowSystemError();
            return false;
        }
        // The page is still there and keeps its old text; give whatever
        // holds it a moment before the next try.
        AfxMessageBox("strNavbarPath is exit");
    }
}

bool CWorkThread::CopyTvPages() {
    for (const char* name : {"tvInclude.htm", "tvOpen.htm"}) {
        std::string source = m_strInstallDir + "\\systeminfo\\" + m_strInsteadFile + "\\" + name;
        std::string target = m_strInstallDir + "\\navbar\\" + name;
        if (!SetFileAttributes(target, FILE_ATTRIBUTE_NORMAL))
            return false;
        if (!CopyFile(source, target, false))
            return false;
        if (!PatchExtendName(target))
            return false;
    }
    return true;
}

bool CWorkThread::PatchExtendName(const std::string& pagePath) {
    CScratchFile scratch(pagePath);
    auto patch = [&](std::string* line) { return PatchExtendNameLine(line, m_strExtendName); };
    if (!WriteRewrittenPage(pagePath, scratch.Path(), patch))
        return false;
    if (!ReplacePage(scratch.Path(), pagePath))
        return false;
    scratch.Used();
    return true;
}

bool CWorkThread::ResetStartChapter() {
    const std::string page = m_strInstallDir + "\\left\\items.vbs";
    CScratchFile scratch(page);
    SetFileAttributes(page, FILE_ATTRIBUTE_NORMAL);
    if (!WriteRewrittenPage(page, scratch.Path(), ResetStartChapterLine))
        return false;
    if (!ReplacePage(scratch.Path(), page))
        return false;
    scratch.Used();
    return true;
}
