// The drive table: drives/<letter>: entries in the prefix (symbolic links to
// Unix folders, as Wine keeps its dosdevices), plus mounted discs that no
// entry reaches, shown as CD-ROM drives on the first free letters from D:.
//
// TELVORA_MOUNTS_FILE names a mount table to read instead of
// /proc/self/mounts (tests use it to show discs without mounting any).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"
#include "platform/fs/mount_table.h"
#include "platform/prefix/prefix.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace fs_detail {
namespace {

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;
constexpr const char* kDrivesKey = "Software\\Telvora\\Drives";

std::string EntryPath(char letter) {
    return DrivesDir() + "/" + letter + ":";
}

// An open handle on the prefix's drives/ folder: every path lookup reads one
// entry of it, and reading it relative to a handle spares walking the
// prefix's path each time. Shared, so that a handle replaced for another
// prefix stays open while a reader still uses it.
struct CDirHandle {
    int fd;
    explicit CDirHandle(int f) : fd(f) {}
    ~CDirHandle() {
        if (fd >= 0)
            close(fd);
    }
    CDirHandle(const CDirHandle&) = delete;
    CDirHandle& operator=(const CDirHandle&) = delete;
};

std::shared_ptr<const CDirHandle> DrivesDirHandle(const std::string& prefix, bool fresh) {
    static std::mutex mutex;
    static std::string forPrefix;
    static std::shared_ptr<const CDirHandle> handle;
    std::lock_guard<std::mutex> lock(mutex);
    if (fresh || !handle || forPrefix != prefix) {
        int fd = open((prefix + "/drives").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        handle = fd >= 0 ? std::make_shared<const CDirHandle>(fd) : nullptr;
        forPrefix = prefix;
    }
    return handle;
}

std::string WithoutTrailingSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::string RealOr(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::vector<std::string> MountedDiscs() {
    const char* file = std::getenv("TELVORA_MOUNTS_FILE");
    std::vector<std::string> discs;
    for (const MountEntry& entry : ReadMountTable(file && *file ? file : "/proc/self/mounts")) {
        if (entry.type != "iso9660" && entry.type != "udf")
            continue;
        std::string mp = WithoutTrailingSlash(entry.point);
        if (!mp.empty() && mp[0] == '/')
            discs.push_back(mp);
    }
    return discs;
}

bool Within(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return path == "/";  // every path is under "/": only "/" itself counts
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

char NormalLetter(char letter) {
    if (letter >= 'A' && letter <= 'Z')
        return static_cast<char>(letter - 'A' + 'a');
    return letter;
}

bool IsLetter(char c) {
    return c >= 'a' && c <= 'z';
}

// "E", "E:", "E:\", "e:/"; empty means the current drive.
std::optional<char> RootLetter(const std::string& root) {
    if (root.empty()) {
        WinPath cwd;
        if (!ParseWindowsPath(".", &cwd))
            return std::nullopt;
        return cwd.drive;
    }
    char letter = NormalLetter(root[0]);
    if (!IsLetter(letter))
        return std::nullopt;
    if (root.size() == 1)
        return letter;
    if (root[1] != ':')
        return std::nullopt;
    if (root.size() == 2)
        return letter;
    if (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))
        return letter;
    return std::nullopt;
}

std::optional<UINT> RegistryDriveType(char letter) {
    std::optional<std::string> kind =
        RegGetString(HKEY_LOCAL_MACHINE, kDrivesKey, std::string(1, letter) + ":");
    if (!kind)
        return std::nullopt;
    std::string k = text::AsciiLower(text::Trim(*kind));
    if (k == "cdrom")
        return DRIVE_CDROM;
    if (k == "hd")
        return DRIVE_FIXED;
    if (k == "network")
        return DRIVE_REMOTE;
    if (k == "floppy")
        return DRIVE_REMOVABLE;
    if (k == "ramdisk")
        return DRIVE_RAMDISK;
    return std::nullopt;  // an unknown word: the file system decides
}

}  // namespace

std::string DrivesDir() {
    return PrefixDir() + "/drives";
}

std::optional<std::string> EntryTarget(char letter) {
    letter = NormalLetter(letter);
    if (!IsLetter(letter))
        return std::nullopt;
    const std::string prefix = PrefixDir();
    const char name[] = {letter, ':', '\0'};
    char buf[PATH_MAX];
    ssize_t n = -1;
    for (bool fresh : {false, true}) {
        std::shared_ptr<const CDirHandle> drives = DrivesDirHandle(prefix, fresh);
        n = drives ? readlinkat(drives->fd, name, buf, sizeof buf - 1) : -1;
        if (n >= 0 || errno != ENOENT)
            break;
        // The folder may have been made anew since the handle was opened.
    }
    const int readError = errno;
    std::string entry = prefix + "/drives/" + name;
    struct stat st;
    // A prefix not made yet has the drive table a new one gets.
    if (n < 0 && letter == 'c' && stat((prefix + "/drives").c_str(), &st) != 0 && errno == ENOENT)
        return std::string("/");
    if (n > 0) {
        std::string target(buf, static_cast<std::size_t>(n));
        if (target[0] != '/')
            target = prefix + "/drives/" + target;
        return WithoutTrailingSlash(target);
    }
    // A real folder in place of a link stands for itself.
    if (n < 0 && readError == EINVAL && lstat(entry.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return entry;
    return std::nullopt;
}

std::array<Drive, 26> DriveTable() {
    std::array<Drive, 26> table;
    std::vector<std::string> reached;
    for (char c = 'a'; c <= 'z'; ++c) {
        if (std::optional<std::string> target = EntryTarget(c)) {
            Drive& d = table[c - 'a'];
            d.present = true;
            d.target = *target;
            reached.push_back(RealOr(*target));
        }
    }
    int next = 'd' - 'a';
    for (const std::string& mp : MountedDiscs()) {
        std::string real = RealOr(mp);
        bool isReached = false;
        for (const std::string& r : reached)
            isReached = isReached || Within(r, real);
        if (isReached)
            continue;
        while (next < 26 && table[next].present)
            ++next;
        if (next >= 26)
            break;
        table[next] = Drive{true, true, mp};
        reached.push_back(real);
    }
    return table;
}

Drive DriveOf(char letter) {
    letter = NormalLetter(letter);
    if (!IsLetter(letter))
        return Drive{};
    if (std::optional<std::string> target = EntryTarget(letter))
        return Drive{true, false, *target};
    return DriveTable()[letter - 'a'];
}

}  // namespace fs_detail

using namespace fs_detail;

DWORD GetLogicalDrives() {
    DWORD mask = 0;
    std::array<Drive, 26> table = DriveTable();
    for (int i = 0; i < 26; ++i)
        if (table[i].present)
            mask |= DWORD{1} << i;
    SetLastError(ERROR_SUCCESS);
    return mask;
}

UINT GetDriveType(const std::string& root) {
    std::optional<char> letter = RootLetter(root);
    if (!letter)
        return DRIVE_NO_ROOT_DIR;
    Drive d = DriveOf(*letter);
    if (!d.present)
        return DRIVE_NO_ROOT_DIR;
    if (d.isDisc)
        return DRIVE_CDROM;
    struct stat st;
    if (stat(d.target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return DRIVE_NO_ROOT_DIR;
    if (std::optional<UINT> t = RegistryDriveType(*letter))
        return *t;
    struct statfs fs;
    if (statfs(d.target.c_str(), &fs) == 0 && (static_cast<long>(fs.f_type) == kIso9660Magic ||
                                               static_cast<long>(fs.f_type) == kUdfMagic))
        return DRIVE_CDROM;
    return DRIVE_FIXED;
}

bool DriveTableUsable() {
    if (!EnsurePrefix())
        return FailErrno(errno);
    return true;
}

bool SetDriveTarget(char letter, const std::string& unixFolder, bool asCdRom) {
    letter = NormalLetter(letter);
    if (!IsLetter(letter) || unixFolder.empty() || unixFolder.find('\0') != std::string::npos)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!EnsurePrefix())
        return FailErrno(errno);
    // A relative link would be read relative to drives/, not to the caller.
    std::string target = WithoutTrailingSlash(AbsoluteUnixPath(unixFolder));
    std::string entry = EntryPath(letter);
    static std::atomic<unsigned> s_serial{0};
    std::string temp = DrivesDir() + "/." + letter + ":." + std::to_string(getpid()) + "." +
                       std::to_string(s_serial++);
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0)
        return FailErrno(errno);
    // rename() replaces a link atomically, but not a real folder in its place.
    struct stat st;
    if (lstat(entry.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        unlink(temp.c_str());
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (rename(temp.c_str(), entry.c_str()) != 0) {
        int err = errno;
        unlink(temp.c_str());
        return FailErrno(err);
    }
    const std::string name = std::string(1, letter) + ":";
    if (asCdRom) {
        if (!RegPutString(HKEY_LOCAL_MACHINE, kDrivesKey, name, "cdrom"))
            return Fail(ERROR_CANTWRITE);
    } else if (RegistryDriveType(letter) == DRIVE_CDROM) {
        // A letter reused for a folder is no longer a CD-ROM drive.
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kDrivesKey, &key) == ERROR_SUCCESS) {
            RegDeleteValue(key, name.c_str());
            RegCloseKey(key);
        }
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

// The registry keeps the letter's drive kind: a CD-ROM drive whose disc was
// taken out is still a CD-ROM drive when a disc comes back.
bool RemoveDrive(char letter) {
    letter = NormalLetter(letter);
    if (!IsLetter(letter))
        return Fail(ERROR_INVALID_PARAMETER);
    std::string entry = EntryPath(letter);
    struct stat st;
    if (lstat(entry.c_str(), &st) != 0)
        return Fail(ERROR_INVALID_DRIVE);
    if (S_ISDIR(st.st_mode) ? rmdir(entry.c_str()) != 0 : unlink(entry.c_str()) != 0)
        return FailErrno(errno);
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::optional<std::string> DriveTarget(char letter) {
    Drive d = DriveOf(letter);
    if (!d.present) {
        SetLastError(ERROR_INVALID_DRIVE);
        return std::nullopt;
    }
    return d.target;
}
