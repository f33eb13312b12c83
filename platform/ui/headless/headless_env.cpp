// The headless renderer as a program run sets it up: answers, time-out and
// the drive table come from the environment and the prefix.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/fs/fs.h"
#include "platform/ui/headless/headless.h"

namespace ui::headless {
namespace {

constexpr DWORD kDefaultTimeoutMs = 30000;
constexpr double kLongestTimeoutSeconds = 7 * 24 * 3600.0;

std::vector<AnswerRule> ReadAnswers(const char* path) {
    // A folder opens like a file and then reads as nothing.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        std::fprintf(stderr, "telvora: cannot read the answer file %s: it is a folder\n", path);
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "telvora: cannot read the answer file %s: %s\n", path,
                     std::strerror(errno));
        return {};
    }
    std::ostringstream content;
    content << file.rdbuf();
    std::vector<std::string> errors;
    std::vector<AnswerRule> rules = ParseAnswers(content.str(), path, &errors);
    for (const std::string& error : errors) {
        std::fprintf(stderr, "%s (line ignored)\n", error.c_str());
    }
    return rules;
}

DWORD ReadTimeout(const char* value) {
    if (!value || !*value) {
        return kDefaultTimeoutMs;
    }
    char* end = nullptr;
    errno = 0;
    double seconds = std::strtod(value, &end);
    if (end == value || *end != '\0' || errno != 0 || !std::isfinite(seconds) || seconds < 0 ||
        seconds > kLongestTimeoutSeconds) {
        std::fprintf(stderr,
                     "telvora: TELVORA_ANSWER_TIMEOUT=%s is not a number of seconds; using %u\n",
                     value, kDefaultTimeoutMs / 1000);
        return kDefaultTimeoutMs;
    }
    return static_cast<DWORD>(std::llround(seconds * 1000.0));
}

}  // namespace

std::shared_ptr<IRenderer> CreateHeadlessRendererFromEnvironment() {
    HeadlessOptions options;
    if (const char* path = std::getenv("TELVORA_ANSWERS"); path && *path) {
        options.rules = ReadAnswers(path);
    }
    options.timeoutMs = ReadTimeout(std::getenv("TELVORA_ANSWER_TIMEOUT"));
    options.insertDrive = [](char letter, const std::string& folder) {
        return SetDriveTarget(letter, folder, true);
    };
    options.ejectDrive = [](char letter) { return RemoveDrive(letter); };
    return CreateHeadlessRenderer(std::move(options));
}

}  // namespace ui::headless
