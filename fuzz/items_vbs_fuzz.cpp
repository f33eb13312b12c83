// left\items.vbs of a disc put in when the installer asks for the next CD:
// the course name and start chapter that decide whether it is the right CD.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_env.h"
#include "install/inserted_cd_check.h"
#include "platform/text/text.h"

namespace {

// The name of the course the installer waits for (GBK).
const char kCourseName[] = "化学课程";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string cdRoot = fuzz::ScratchDir() + "/cd/";
    std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::WriteBytes(cdRoot + "left/items.vbs", input);
    const std::string winRoot = fuzz::WindowsPath(cdRoot);

    // A name longer than the whole file can't come from it: a changed value
    // tells that a coursename line was found.
    const std::string unset(size + 1, 'x');
    bool matched = true;
    std::string found = unset;
    bool right = CheckInsertedCd(winRoot, kCourseName, &matched, &found);
    // A name that matched once stays matched even when a later coursename
    // line names another course; the right CD's last name read is ours.
    FUZZ_CHECK(!matched || found != unset);
    FUZZ_CHECK(!right || (matched && text::EqualsNoCase(found, kCourseName)));
    if (found != unset)
        FUZZ_CHECK(found.size() < size && text::AsciiLower(found) == found);
    fuzz::DrainMessages();
    // Without a match the name read is the first coursename line's.
    if (matched || found == unset)
        return 0;

    // The same disc checked for the course it names: its first coursename
    // line now matches (a later one may still name another course).
    bool matchedAgain = false;
    std::string foundAgain;
    CheckInsertedCd(winRoot, found, &matchedAgain, &foundAgain);
    FUZZ_CHECK(matchedAgain);
    fuzz::DrainMessages();
    return 0;
}
