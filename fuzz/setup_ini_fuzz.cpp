// setup.ini as the three programs read it: the course description in each
// reader variant, the update control's two fixed-prefix readers and the CD
// counter that rewrites the file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/course_description.h"
#include "common/course_format.h"
#include "fuzz/fuzz_env.h"
#include "platform/text/text.h"

namespace {

// Every value a reader gives back is a piece of one line of the file.
bool IsFromInput(std::string_view input, const std::string& value) {
    return input.find(value) != std::string_view::npos;
}

void CheckDescription(std::string_view input, const std::string& win, DescriptionVariant variant) {
    CourseDescription d;
    bool opened = false;
    std::string courseId = ReadCourseDescription(win, variant, &d, nullptr, &opened);
    FUZZ_CHECK(opened);
    FUZZ_CHECK(courseId == d.courseId);
    for (const std::string* value : {&d.courseId, &d.courseName, &d.totalCd, &d.nowCd,
                                     &d.insteadFile, &d.extendName, &d.defaultPage, &d.version}) {
        FUZZ_CHECK(text::Trim(*value) == *value);
        FUZZ_CHECK(IsFromInput(input, *value));
    }
    // The start variant asks to quit after a key line without "=".
    fuzz::DrainMessages();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string ini = fuzz::ScratchDir() + "/course/setup.ini";
    const std::string win = fuzz::WindowsPath(ini);
    std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::WriteBytes(ini, input);

    for (DescriptionVariant variant :
         {DescriptionVariant::Start, DescriptionVariant::Worker, DescriptionVariant::Launcher})
        CheckDescription(input, win, variant);

    MediaLookupValues media;
    FUZZ_CHECK(ReadMediaLookupValues(win, &media));
    FUZZ_CHECK(IsFromInput(input, media.courseName));
    FUZZ_CHECK(IsFromInput(input, media.totalCd));
    FUZZ_CHECK(IsFromInput(input, media.cd1));

    UpdateValues update;
    FUZZ_CHECK(ReadUpdateValues(win, &update));
    FUZZ_CHECK(IsFromInput(input, update.courseName));
    FUZZ_CHECK(IsFromInput(input, update.defaultPage));

    // The counter keeps every line but the nowcd ones as it was, and leaves
    // setup.ini in place with no scratch file beside it. It refuses only a
    // nowcd number that has no next one, and then changes nothing.
    std::vector<std::string> before = SplitTextLines(input);
    bool advanceable = true;
    for (const std::string& line : before) {
        if (line.find("nowcd") != std::string::npos && !AdvancedNowCdLine(line) &&
            line.find_first_of("0123456789") != std::string::npos)
            advanceable = false;
    }
    FUZZ_CHECK(AdvanceCdCounter(win) == advanceable);
    std::string after;
    FUZZ_CHECK(fuzz::ReadBytes(ini, &after));
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(ini).parent_path()))
        FUZZ_CHECK(entry.path() == ini);  // no scratch file beside it
    if (!advanceable)
        FUZZ_CHECK(after == input);
    std::vector<std::string> now = SplitTextLines(after);
    FUZZ_CHECK(before.size() == now.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i].find("nowcd") == std::string::npos)
            FUZZ_CHECK(before[i] == now[i]);
    fuzz::DrainMessages();
    return 0;
}
