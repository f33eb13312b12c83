// The course pages patched on the last CD: the line rules on each line of
// the input, then the same input as the navigation page, a media page and
// the chapter list of an installed course, patched as whole files.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/course_format.h"
#include "fuzz/fuzz_env.h"
#include "install/page_rules.h"
#include "install/work_thread.h"
#include "platform/text/text.h"

namespace {

const char kExtendName[] = "wmv";

// A patched navigation line is the line with the update cell put in front
// of a "</tr>"; any other line comes out as it went in.
void CheckNavbarLine(const std::string& line, const std::string& out) {
    if (out == line)
        return;
    const std::size_t cellLength = std::strlen(kUpdateCell);
    FUZZ_CHECK(out.size() == line.size() + cellLength);
    // The cell starts "<t", the row end "</": they part at the second byte.
    std::size_t differ = 0;
    while (differ < line.size() && out[differ] == line[differ])
        ++differ;
    FUZZ_CHECK(differ >= 1);
    std::size_t at = differ - 1;
    FUZZ_CHECK(out.compare(at, cellLength, kUpdateCell) == 0);
    FUZZ_CHECK(line.compare(at, 5, "</tr>") == 0);
    FUZZ_CHECK(out.compare(0, at, line, 0, at) == 0);
    FUZZ_CHECK(out.compare(at + cellLength, std::string::npos, line, at) == 0);
}

void CheckLineRules(const std::vector<std::string>& lines) {
    CNavbarCellInserter inserter;
    std::size_t patched = 0;
    std::size_t arming = 0;
    for (const std::string& line : lines) {
        std::string out = inserter.Patch(line);
        CheckNavbarLine(line, out);
        patched += out != line;
        arming += text::ContainsAtCharStart(line, "colJslx");
        // Every insertion needs a line that armed it.
        FUZZ_CHECK(patched <= arming);

        std::string media = line;
        bool ok = PatchExtendNameLine(&media, kExtendName);
        if (!ok || !text::ContainsAtCharStart(text::AsciiLower(line), "extendname"))
            FUZZ_CHECK(media == line);
        else
            FUZZ_CHECK(media.find("\".wmv\"") != std::string::npos);

        std::string chapter = line;
        ok = ResetStartChapterLine(&chapter);
        if (!ok) {
            FUZZ_CHECK(chapter == line);
        } else if (chapter != line) {
            FUZZ_CHECK(chapter.size() >= 2 && chapter.compare(chapter.size() - 2, 2, "=1") == 0);
            // A reset line stays as it is when reset again.
            std::string again = chapter;
            FUZZ_CHECK(ResetStartChapterLine(&again));
            FUZZ_CHECK(again == chapter);
        }
    }
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string ReadPage(const std::string& unixPath) {
    std::string bytes;
    // The page is replaced in one step: it is never missing.
    FUZZ_CHECK(fuzz::ReadBytes(unixPath, &bytes));
    return bytes;
}

void CheckWholePages(std::string_view input, const std::vector<std::string>& lines) {
    const std::string course = fuzz::ScratchDir() + "/course";
    CWorkThread worker;
    worker.m_strInstallDir = fuzz::WindowsPath(course);
    worker.m_strExtendName = kExtendName;

    const std::string navbar = course + "/navbar/navbar.htm";
    fuzz::WriteBytes(navbar, input);
    FUZZ_CHECK(worker.PatchNavbar());
    CNavbarCellInserter inserter;
    std::string expected;
    for (const std::string& line : lines)
        expected += inserter.Patch(line) + "\r\n";
    expected += Joined(UpdateBlockLines());
    FUZZ_CHECK(ReadPage(navbar) == expected);

    // A page whose rule fails keeps its old text.
    const std::string media = course + "/navbar/tvInclude.htm";
    fuzz::WriteBytes(media, input);
    std::vector<std::string> mediaLines = lines;
    bool mediaOk = true;
    for (std::string& line : mediaLines)
        mediaOk = mediaOk && PatchExtendNameLine(&line, kExtendName);
    bool patched = worker.PatchExtendName(fuzz::WindowsPath(media));
    FUZZ_CHECK(patched == mediaOk);
    FUZZ_CHECK(ReadPage(media) == (patched ? Joined(mediaLines) : std::string(input)));

    const std::string items = course + "/left/items.vbs";
    fuzz::WriteBytes(items, input);
    std::vector<std::string> itemLines = lines;
    bool itemsOk = true;
    for (std::string& line : itemLines)
        itemsOk = itemsOk && ResetStartChapterLine(&line);
    patched = worker.ResetStartChapter();
    FUZZ_CHECK(patched == itemsOk);
    FUZZ_CHECK(ReadPage(items) == (patched ? Joined(itemLines) : std::string(input)));
    fuzz::DrainMessages();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = SplitTextLines(input);
    CheckLineRules(lines);
    CheckWholePages(input, lines);
    return 0;
}
