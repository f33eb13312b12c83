#include "tools/setup/install_runs.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/course_format.h"
#include "common/program_codes.h"
#include "platform/error/error.h"
#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace {

// Exit statuses of the installer: its quit codes' low 8 bits.
constexpr int kStatusMediaCopied = ExitStatusOfCode(kQuitMediaCopied);    // 243
constexpr int kStatusMediaSkipped = ExitStatusOfCode(kQuitMediaSkipped);  // 244
constexpr int kStatusNoDecision = ExitStatusOfCode(kQuitNoFlagFile);      // 236
constexpr int kStatusNoSetupIni = ExitStatusOfCode(kEndProgress);         // 240
constexpr int kStatusBadRecord = ExitStatusOfCode(kQuitSetupError);       // 241
constexpr int kStatusFailed = ExitStatusOfCode(kQuitInstallFailed);       // 245
constexpr int kStatusRunning = ExitStatusOfCode(kQuitInstallRunning);     // 246

std::string ReadText(const std::string& unixPath) {
    std::ifstream in(unixPath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

int ExitStatusOf(InstallOutcome outcome) {
    switch (outcome) {
        case InstallOutcome::Installed:
            return 0;
        case InstallOutcome::Abandoned:
            return 1;
        case InstallOutcome::Failed:
            break;
    }
    return 2;
}

std::string DescribeInstallerStatus(int status) {
    switch (status) {
        case kStatusMediaCopied:
        case kStatusMediaSkipped:
            return "";
        case kStatusNoDecision:
            return "the installer could not read the media decision file "
                   "systeminfo\\installasf.txt (code 1004)";
        case kStatusNoSetupIni:
            return "the installer could not find the course's setup.ini (code 1008)";
        case kStatusBadRecord:
            return "the installer found the course description or the registry record unusable "
                   "(code 1009)";
        case kStatusFailed:
            return "the installer could not complete the CD: files could not be copied or "
                   "setup.ini could not be moved on to the next CD (code 1013; see its message)";
        case kStatusRunning:
            return "another installer is installing this course at the same time; nothing was "
                   "changed (code 1014)";
        case -1:
            return "the installer could not be started: " +
                   text::GbkToUtf8(text::TrimRight(FormatSystemMessage(GetLastError())));
        default:
            break;
    }
    if (status > 128 && status < 128 + 65) {
        return "the installer was ended by signal " + std::to_string(status - 128);
    }
    return "the installer ended with the unexpected status " + std::to_string(status);
}

int ReadNowCd(const CoursePlace& place) {
    // As the installer's first reader: it stops at the first nowcd line.
    CourseDescription values;
    CDescriptionParser parser(DescriptionVariant::Start, &values);
    std::vector<CDescriptionParser::KeyLineProblem> problems;
    for (const std::string& line : SplitTextLines(ReadText(CourseFile(place, "setup.ini")))) {
        if (!parser.TakeLine(line, &problems))
            break;
    }
    for (const auto& problem : problems) {
        if (std::string(problem.key) == "nowcd")
            return 0;
    }
    return WholeNumber(values.nowCd).value_or(0);
}

bool PagesPatched(const CoursePlace& place) {
    if (ReadText(CourseFile(place, "navbar\\navbar.htm")).find(kUpdateControlClsid) ==
        std::string::npos) {
        return false;
    }
    for (const std::string& line : SplitTextLines(ReadText(CourseFile(place, "left\\items.vbs")))) {
        std::string lower = text::AsciiLower(line);
        std::size_t p = lower.find("startchapter");
        if (p == std::string::npos)
            continue;
        std::size_t eq = line.find('=', p);
        if (eq == std::string::npos || text::Trim(line.substr(eq + 1)) != "1")
            return false;
    }
    std::error_code ec;
    return !fs::exists(CourseFile(place, "navbar\\temp.htm"), ec) &&
           !fs::exists(CourseFile(place, "left\\temp.htm"), ec);
}

InstallRunsResult RunInstallations(const CoursePlace& place, int totalCd,
                                   const std::vector<std::string>& nextCds,
                                   const InstallStarter& start,
                                   const std::function<void(const std::string&)>& progress) {
    InstallRunsResult result;
    const std::string failMarker = CourseFile(place, "systeminfo\\fail.txt");
    // One run per CD at most: a counter that does not move ends the loop.
    for (int runs = 0; runs < totalCd; ++runs) {
        const int cd = ReadNowCd(place);
        if (cd < 1 || cd > totalCd) {
            result.message =
                "the course's setup.ini has no usable nowcd (1 to " + std::to_string(totalCd) + ")";
            return result;
        }
        std::error_code ec;
        fs::remove(failMarker, ec);  // a marker from an earlier attempt
        const bool last = cd == totalCd;
        const std::string nextCd =
            !last && static_cast<std::size_t>(cd - 1) < nextCds.size() ? nextCds[cd - 1] : "";
        progress("installing CD " + std::to_string(cd) + " of " + std::to_string(totalCd));
        const int status = start(cd, nextCd);
        if (fs::exists(failMarker, ec)) {
            result.outcome = InstallOutcome::Abandoned;
            result.message = "the installation was abandoned at the prompt for CD " +
                             std::to_string(cd + 1) + " (systeminfo\\fail.txt)";
            return result;
        }
        if (std::string why = DescribeInstallerStatus(status); !why.empty()) {
            result.message = why + ", on CD " + std::to_string(cd);
            return result;
        }
        if (last) {
            if (!PagesPatched(place)) {
                result.message =
                    "the installer did not finish the course pages on the last CD "
                    "(navigation page, media pages or chapter list)";
                return result;
            }
            result.cdsDone = cd;
            result.outcome = InstallOutcome::Installed;
            return result;
        }
        if (ReadNowCd(place) != cd + 1) {
            result.message = "the installer stopped on CD " + std::to_string(cd) +
                             " without moving on to CD " + std::to_string(cd + 1) +
                             " (see its messages)";
            return result;
        }
        result.cdsDone = cd;
        progress("CD " + std::to_string(cd) + " done");
    }
    result.message = "the installer did not reach the last CD";
    return result;
}
