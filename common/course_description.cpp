#include "common/course_description.h"

#include <optional>
#include <vector>

#include "common/program_codes.h"

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "platform/thread/thread.h"

namespace {

// Feeds the lines of an open file to a reader until it stops.
template <class TakeLine>
void ReadLines(CFile& file, TakeLine take) {
    std::string line;
    while (file.ReadLine(&line) && take(line)) {
    }
}

}  // namespace

std::string ReadCourseDescription(const std::string& path, DescriptionVariant variant,
                                  CourseDescription* values, HWND notifyWnd, bool* opened) {
    CFile file;
    if (!file.Open(path, CFile::modeRead)) {
        if (opened)
            *opened = false;
        if (variant == DescriptionVariant::Launcher) {
            AfxMessageBox(".ini file can't find");
            PostMessage(notifyWnd, WM_QUIT, 0, 0);
            return values->courseId;
        }
        AfxMessageBox("找不到setup.ini文件");
        PostMessage(notifyWnd, WM_QUIT, 0, 0);
        ExitThread(kEndProgress);
    }
    if (opened)
        *opened = true;

    CDescriptionParser parser(variant, values);
    std::vector<CDescriptionParser::KeyLineProblem> problems;
    ReadLines(file, [&](const std::string& line) {
        problems.clear();
        bool more = parser.TakeLine(line, &problems);
        // Each key line without "=" is told as it is met; reading goes on.
        for (const auto& problem : problems) {
            AfxMessageBox(problem.message);
            if (variant == DescriptionVariant::Start)
                PostQuitMessage(kQuitSetupError);
        }
        return more;
    });
    return values->courseId;
}

bool ReadMediaLookupValues(const std::string& path, MediaLookupValues* values) {
    CFile file;
    if (!file.Open(path, CFile::modeReadExclusive))
        return false;
    ReadLines(file, [&](const std::string& line) { return TakeMediaLookupLine(line, values); });
    return true;
}

bool ReadUpdateValues(const std::string& path, UpdateValues* values) {
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    ReadLines(file, [&](const std::string& line) { return TakeUpdateInfoLine(line, values); });
    return true;
}

bool AdvanceCdCounter(const std::string& path) {
    std::string content;  // every line, each ended with CR LF
    bool tooLarge = false;
    {
        CFile in;
        if (!in.Open(path, CFile::modeRead))
            return false;
        ReadLines(in, [&](const std::string& line) {
            std::optional<std::string> advanced;
            if (line.find("nowcd") != std::string::npos) {
                advanced = AdvancedNowCdLine(line);
                // A number with no next one: leaving the line as it is would
                // ask for the same disc again on every run.
                if (!advanced && line.find_first_of("0123456789") != std::string::npos)
                    tooLarge = true;
            }
            content += advanced.value_or(line) + "\r\n";
            return true;
        });
    }
    if (tooLarge) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // A name of this call alone: another writer never shares it.
    std::string scratch = ScratchPathBeside(path);
    {
        CFile out;
        if (!out.Open(scratch, CFile::modeWrite))
            return false;
        if (!out.WriteString(content) || !out.Flush()) {
            out.Close();
            DeleteFile(scratch);
            return false;
        }
    }
    // A read-only description is replaced all the same.
    SetFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
    if (!ReplaceFile(scratch, path)) {
        DWORD err = GetLastError();
        DeleteFile(scratch);
        SetLastError(err);
        return false;
    }
    return true;
}
