// Program substitutes: the Linux command that stands in for a Windows program
// a course carries (its browser, its RAR extractor). The command is a value
// under HKLM\Software\Telvora\Substitutes named after the program's file
// name, split by the same rules as a Windows command line; %*, %@ and %0
// say where the arguments go (docs/processes.md).
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fs/fs.h"
#include "platform/process/command_line.h"
#include "platform/process/process_internal.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace process_detail {

namespace {

constexpr const char* kSubstitutesKey = "Software\\Telvora\\Substitutes";

struct DefaultSubstitute {
    const char* fileName;
    const char* command;
    const char* fallback;  // when command's program is not there; may be null
};

// The course browser is handed one page path, which may hold blanks
// unquoted: the project's own browser, or the desktop's where that is not
// installed; the extractor takes "x ARCHIVE DEST -y" as the course gives
// it; media files a page plays go to the desktop's player.
constexpr DefaultSubstitute kDefaults[] = {
    {"iexplore.exe", "telvora-browser %*", "xdg-open %*"},
    {"winrar.exe", "telvora-extract %@", nullptr},
    {"wmplayer.exe", "xdg-open %*", nullptr},
};

// The program a page is opened in: it gets the rest of the command line as
// one argument even when its substitute does not say where.
constexpr const char* kBrowserName = "iexplore.exe";

const char* FallbackOf(const std::string& command) {
    for (const DefaultSubstitute& d : kDefaults) {
        if (d.fallback && command == d.command)
            return d.fallback;
    }
    return nullptr;
}

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

bool IsRegularFile(const std::string& unixPath) {
    struct stat st;
    return stat(unixPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The Unix path of a substitute's program word: a Windows path, an absolute
// Unix path, or a name looked for in the caller's folders and then on PATH.
std::optional<std::string> LocateSubstituteProgram(const std::string& word,
                                                   const std::vector<std::string>& folders) {
    if (IsAbsoluteWindowsPath(word))
        return ToUnixPath(word);
    const std::string name = text::GbkToUtf8(word);
    if (name.front() == '/')
        return name;
    for (const std::string& dir : folders) {
        if (IsRegularFile(dir + "/" + name))
            return dir + "/" + name;
    }
    if (name.find('/') == std::string::npos) {
        for (const std::string& dir : PathFolders()) {
            if (IsRegularFile(dir + "/" + name))
                return dir + "/" + name;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> LookupSubstitute(const std::string& fileName) {
    // An empty name would read the key's default value.
    if (fileName.empty())
        return std::nullopt;
    if (std::optional<std::string> value =
            RegGetString(HKEY_LOCAL_MACHINE, kSubstitutesKey, fileName)) {
        if (text::Trim(*value).empty())
            return std::nullopt;
        return value;
    }
    for (const DefaultSubstitute& d : kDefaults) {
        if (text::EqualsNoCase(fileName, d.fileName))
            return std::string(d.command);
    }
    return std::nullopt;
}

bool PlanSubstitute(const std::string& command, const std::string& replacedUnixPath,
                    std::string_view argsText, const std::vector<std::string>& programFolders,
                    CStartPlan* plan) {
    const std::vector<std::string> words = SplitCommandLineArgs(command);
    if (words.empty() || words[0].empty())
        return Fail(ERROR_FILE_NOT_FOUND);
    std::optional<std::string> program = LocateSubstituteProgram(words[0], programFolders);
    if (!program || !IsRegularFile(*program)) {
        if (const char* fallback = FallbackOf(command))
            return PlanSubstitute(fallback, replacedUnixPath, argsText, programFolders, plan);
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    if (access(program->c_str(), X_OK) != 0)
        return Fail(ERROR_ACCESS_DENIED);

    CStartPlan out;
    out.program = *program;
    out.substituted = true;
    out.argv.push_back(*program);
    bool placed = false;
    auto addSplit = [&]() {
        for (const std::string& arg : SplitCommandLineArgs(argsText))
            out.argv.push_back(ArgumentForLinux(arg));
    };
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "%*") {
            const std::string rest = CommandLineRest(argsText);
            if (!rest.empty())
                out.argv.push_back(ArgumentForLinux(rest));
            placed = true;
        } else if (w == "%@") {
            addSplit();
            placed = true;
        } else if (w == "%0") {
            out.argv.push_back(replacedUnixPath);
        } else {
            out.argv.push_back(text::GbkToUtf8(w));
        }
    }
    if (!placed) {
        const std::string replaced = replacedUnixPath.substr(replacedUnixPath.rfind('/') + 1);
        if (text::EqualsNoCase(replaced, kBrowserName)) {
            const std::string rest = CommandLineRest(argsText);
            if (!rest.empty())
                out.argv.push_back(ArgumentForLinux(rest));
        } else {
            addSplit();
        }
    }
    *plan = std::move(out);
    return true;
}

}  // namespace process_detail
