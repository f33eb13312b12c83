// From a Windows command line to the program and arguments to run: the
// program token is read as CreateProcess reads it, a program that can't run
// on Linux is replaced by its substitute, and the arguments are handed on as
// a Linux program wants them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/fs/fs.h"
#include "platform/process/command_line.h"
#include "platform/process/process_internal.h"
#include "platform/text/text.h"

namespace process_detail {

namespace {

enum class ProgramKind { Linux, Windows, NotExecutable };

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

bool IsRegularFile(const std::string& unixPath) {
    struct stat st;
    return stat(unixPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string UnixParent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string UnixBaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A PE file begins with "MZ" whatever its permissions (discs often mark
// every file executable); otherwise the execute permission decides.
ProgramKind Examine(const std::string& unixPath) {
    const int fd = open(unixPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        char head[2] = {0, 0};
        const ssize_t n = read(fd, head, sizeof head);
        close(fd);
        if (n == 2 && head[0] == 'M' && head[1] == 'Z')
            return ProgramKind::Windows;
    }
    return access(unixPath.c_str(), X_OK) == 0 ? ProgramKind::Linux : ProgramKind::NotExecutable;
}

// The file a program token names: the name as it is, then with ".exe" when
// it has no extension. A bare name is looked for in the caller's folders,
// the current folder and on PATH, as the desktop system searches the
// program's folder, the current one and PATH. Folders never count.
std::optional<std::string> FindProgramFile(const std::string& token,
                                           const std::vector<std::string>& folders) {
    std::vector<std::string> names{token};
    if (!HasExtension(token))
        names.push_back(token + ".exe");
    const bool bare = token.find_first_of("\\/:") == std::string::npos;
    if (bare) {
        for (const std::string& dir : folders) {
            for (const std::string& name : names) {
                const std::string candidate = dir + "/" + text::GbkToUtf8(name);
                if (IsRegularFile(candidate))
                    return candidate;
            }
        }
    }
    for (const std::string& name : names) {
        std::optional<std::string> unix = ToUnixPath(name);
        if (unix && IsRegularFile(*unix))
            return unix;
    }
    if (bare) {
        for (const std::string& dir : PathFolders()) {
            for (const std::string& name : names) {
                const std::string candidate = dir + "/" + text::GbkToUtf8(name);
                if (IsRegularFile(candidate))
                    return candidate;
            }
        }
    }
    return std::nullopt;
}

// The substitute for a program token's file name; a name without an
// extension is also looked up with ".exe", the program the desktop system
// would have run.
std::optional<std::string> SubstituteForName(const std::string& fileName) {
    if (std::optional<std::string> command = LookupSubstitute(fileName))
        return command;
    if (!fileName.empty() && !HasExtension(fileName))
        return LookupSubstitute(fileName + ".exe");
    return std::nullopt;
}

std::string_view ArgsText(std::string_view commandLine, std::size_t offset) {
    return offset < commandLine.size() ? commandLine.substr(offset) : std::string_view();
}

}  // namespace

std::string ArgumentForLinux(const std::string& gbk) {
    if (IsAbsoluteWindowsPath(gbk)) {
        // A page with a query ("...\tvInclude.htm?../video01/lecture"): no
        // Windows name holds '?' (nor does a double-byte character), so the
        // path ends there and the query goes on as it is.
        const std::size_t query = gbk.find('?');
        if (std::optional<std::string> unix = ToUnixPath(gbk.substr(0, query)))
            return query == std::string::npos ? *unix : *unix + text::GbkToUtf8(gbk.substr(query));
    }
    return text::GbkToUtf8(gbk);
}

std::vector<std::string> PathFolders() {
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string dir = path.substr(start, end - start);
        out.push_back(dir.empty() ? "." : dir);  // an empty entry is this folder
        start = end + 1;
    }
    return out;
}

std::vector<std::string> ModuleFolders(const void* address) {
    std::vector<std::string> out;
    const std::string module = GetModuleFileNameOf(address);
    if (module.empty())
        return out;
    std::optional<std::string> unix = ToUnixPath(module);
    if (!unix)
        return out;
    out.push_back(UnixParent(*unix));
    if (char* real = realpath(unix->c_str(), nullptr)) {
        const std::string realDir = UnixParent(real);
        std::free(real);
        if (realDir != out.front())
            out.push_back(realDir);
    }
    return out;
}

bool PlanStart(const char* applicationName, std::string_view commandLine,
               const std::vector<std::string>& programFolders, CStartPlan* plan) {
    std::vector<CommandLineProgram> candidates;
    if (applicationName) {
        if (!*applicationName)
            return Fail(ERROR_INVALID_PARAMETER);
        candidates.push_back({applicationName, FirstTokenEnd(commandLine)});
    } else {
        candidates = ProgramCandidates(commandLine);
    }
    if (candidates.empty())
        return Fail(ERROR_INVALID_PARAMETER);

    // The first reading that names an existing file is the program.
    for (const CommandLineProgram& c : candidates) {
        if (c.program.empty())
            continue;
        std::optional<std::string> file = FindProgramFile(c.program, programFolders);
        if (!file)
            continue;
        const std::string_view args = ArgsText(commandLine, c.restOffset);
        const ProgramKind kind = Examine(*file);
        if (kind == ProgramKind::Linux) {
            CStartPlan out;
            out.program = *file;
            out.argv.push_back(*file);
            for (const std::string& arg : SplitCommandLineArgs(args))
                out.argv.push_back(ArgumentForLinux(arg));
            *plan = std::move(out);
            return true;
        }
        std::optional<std::string> command =
            SubstituteForName(text::Utf8ToGbk(UnixBaseName(*file)));
        if (!command)
            return Fail(kind == ProgramKind::Windows ? ERROR_BAD_EXE_FORMAT : ERROR_ACCESS_DENIED);
        return PlanSubstitute(*command, *file, args, programFolders, plan);
    }

    // None exists: the first reading whose file name has a substitute.
    for (const CommandLineProgram& c : candidates) {
        std::optional<std::string> command = SubstituteForName(WindowsFileName(c.program));
        if (!command)
            continue;
        std::optional<std::string> unix = ToUnixPath(c.program);
        return PlanSubstitute(*command, unix ? *unix : text::GbkToUtf8(c.program),
                              ArgsText(commandLine, c.restOffset), programFolders, plan);
    }
    return Fail(ERROR_FILE_NOT_FOUND);
}

std::string ShowStateName(const STARTUPINFO* startupInfo) {
    if (!startupInfo || !(startupInfo->dwFlags & STARTF_USESHOWWINDOW))
        return "normal";
    // The SW_ values of the window service.
    switch (startupInfo->wShowWindow) {
        case 0:  // SW_HIDE
            return "hidden";
        case 3:  // SW_SHOWMAXIMIZED
            return "maximized";
        case 2:   // SW_SHOWMINIMIZED
        case 6:   // SW_MINIMIZE
        case 7:   // SW_SHOWMINNOACTIVE
        case 11:  // SW_FORCEMINIMIZE
            return "minimized";
        default:
            return "normal";
    }
}

}  // namespace process_detail
