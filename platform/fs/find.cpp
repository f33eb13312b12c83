// CFileFind: folder enumeration with Windows wildcard patterns.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"
#include "platform/text/text.h"

using namespace fs_detail;

namespace {

// A GBK string as one code per character, ASCII letters lower-cased, so that
// '?' stands for a whole double-byte character.
std::vector<std::uint16_t> Codes(std::string_view gbk) {
    std::vector<std::uint16_t> codes;
    codes.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (text::CharLength(gbk, i) == 2) {
            codes.push_back(
                static_cast<std::uint16_t>(c << 8 | static_cast<unsigned char>(gbk[++i])));
        } else {
            codes.push_back(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return codes;
}

// '*' any run, '?' one character; linear except for backtracking to the last
// star, so hostile patterns cannot blow up.
bool WildMatch(const std::vector<std::uint16_t>& p, const std::vector<std::uint16_t>& s) {
    std::size_t pi = 0, si = 0, star = std::string::npos, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = si;
        } else if (star != std::string::npos) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

bool HasWildcards(std::string_view gbk) {
    for (std::uint16_t c : Codes(gbk))
        if (c == '*' || c == '?')
            return true;
    return false;
}

// The last separator of a GBK path (a trail byte 0x5C is none), or npos.
std::size_t LastSeparator(std::string_view gbk) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (text::CharLength(gbk, i) == 2)
            ++i;
        else if (c == '\\' || c == '/')
            last = i;
    }
    return last;
}

struct Entry {
    std::string name;  // GBK
    bool directory = false;
    // Read-only and length need a stat, made only when they are asked for
    // (from unixPath): the copy walks ask for neither.
    mutable bool statted = false;
    mutable bool readOnly = false;
    mutable std::uint64_t length = 0;
    std::string unixPath;

    void Stat() const {
        if (statted)
            return;
        statted = true;
        struct stat st;
        if (stat(unixPath.c_str(), &st) == 0 || lstat(unixPath.c_str(), &st) == 0) {
            readOnly = !(st.st_mode & S_IWUSR);
            length = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
        }
    }
};

void FillFromStat(Entry* e, const struct stat& st) {
    e->directory = S_ISDIR(st.st_mode);
    e->readOnly = !(st.st_mode & S_IWUSR);
    e->length = e->directory ? 0 : static_cast<std::uint64_t>(st.st_size);
    e->statted = true;
}

}  // namespace

struct CFileFind::Impl {
    std::string root;  // the pattern's folder with its trailing separator
    std::string unixFolder;
    std::vector<std::uint16_t> pattern;
    std::vector<std::uint16_t> patternNoDotStar;  // "x.*" also matches "x"
    DIR* dir = nullptr;
    int stage = 0;  // 0: ".", 1: "..", 2: folder entries
    bool single = false;
    Entry current, next;
    bool haveCurrent = false, haveNext = false;

    ~Impl() { CloseDir(); }
    void CloseDir() {
        if (dir)
            closedir(dir);
        dir = nullptr;
    }

    bool Matches(std::string_view gbk) const {
        std::vector<std::uint16_t> codes = Codes(gbk);
        return WildMatch(pattern, codes) ||
               (!patternNoDotStar.empty() && WildMatch(patternNoDotStar, codes));
    }

    bool StatDot(const char* name, Entry* e) {
        struct stat st;
        if (stat(JoinUnix(unixFolder, name).c_str(), &st) != 0)
            return false;
        e->name = name;
        FillFromStat(e, st);
        return true;
    }

    // The next matching entry into *e; false when there is none.
    bool Advance(Entry* e) {
        for (;;) {
            if (stage < 2) {
                const char* dot = stage == 0 ? "." : "..";
                ++stage;
                if (Matches(dot) && StatDot(dot, e))
                    return true;
                continue;
            }
            if (!dir)
                return false;
            errno = 0;
            struct dirent* d = readdir(dir);
            if (!d) {
                CloseDir();
                return false;
            }
            std::string_view raw(d->d_name);
            if (raw == "." || raw == "..")
                continue;
            std::string name = NameToGbk(raw);
            if (!Matches(name))
                continue;
            if (d->d_type == DT_DIR || d->d_type == DT_REG) {
                // The listing tells the kind; links and unknown kinds are
                // looked at below.
                e->name = std::move(name);
                e->directory = d->d_type == DT_DIR;
                e->statted = false;
                e->unixPath = JoinUnix(unixFolder, raw);
                return true;
            }
            struct stat st;
            if (fstatat(dirfd(dir), d->d_name, &st, 0) != 0 &&
                fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone since it was listed
            e->name = std::move(name);
            FillFromStat(e, st);
            return true;
        }
    }
};

CFileFind::CFileFind() : m_impl(std::make_unique<Impl>()) {}
CFileFind::~CFileFind() = default;

void CFileFind::Close() {
    m_impl = std::make_unique<Impl>();
}

bool CFileFind::FindFile(const std::string& pattern) {
    Close();
    Impl& f = *m_impl;
    std::string full = pattern.empty() ? "*.*" : pattern;
    std::size_t sep = LastSeparator(full);
    std::string folder, name;
    if (sep != std::string::npos) {
        folder = full.substr(0, sep + 1);
        name = full.substr(sep + 1);
    } else if (full.size() >= 2 && full[1] == ':') {
        folder = full.substr(0, 2);  // "C:*.htm"
        name = full.substr(2);
    } else {
        name = full;
    }
    if (name.empty())
        return Fail(ERROR_FILE_NOT_FOUND);

    WinPath where;
    if (!ParseWindowsPath(folder.empty() ? "." : folder, &where))
        return false;
    bool absolute = folder.size() >= 3 && folder[1] == ':';
    f.root = absolute ? folder : FormatWindowsPath(where);
    if (f.root.back() != '\\' && f.root.back() != '/')
        f.root += '\\';
    std::optional<std::string> unix = ResolveUnixPath(where);
    if (!unix)
        return false;
    f.unixFolder = *unix;

    if (!HasWildcards(name) && name != "." && name != "..") {
        // One name: looked up, not listed, so large folders cost nothing.
        WinPath one;
        if (!ParseWindowsPath(f.root + name, &one))
            return false;
        std::optional<std::string> path = ResolveUnixPath(one);
        if (!path)
            return false;
        struct stat st;
        if (stat(path->c_str(), &st) != 0 && lstat(path->c_str(), &st) != 0)
            return Fail(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        f.next.name = NameToGbk(UnixBaseName(*path));
        FillFromStat(&f.next, st);
        f.haveNext = true;
        f.single = true;
        SetLastError(ERROR_SUCCESS);
        return true;
    }

    f.pattern = Codes(name);
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, ".*") == 0)
        f.patternNoDotStar = Codes(name.substr(0, name.size() - 2));
    f.dir = opendir(f.unixFolder.c_str());
    if (!f.dir) {
        int err = errno;
        Close();
        return Fail(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(err));
    }
    f.haveNext = f.Advance(&f.next);
    if (!f.haveNext) {
        Close();
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CFileFind::FindNextFile() {
    Impl& f = *m_impl;
    if (!f.haveNext)
        return Fail(ERROR_NO_MORE_FILES);
    f.current = std::move(f.next);
    f.haveCurrent = true;
    f.haveNext = !f.single && f.Advance(&f.next);
    if (!f.haveNext)
        SetLastError(ERROR_NO_MORE_FILES);
    return f.haveNext;
}

std::string CFileFind::GetFileName() const {
    return m_impl->haveCurrent ? m_impl->current.name : std::string();
}

std::string CFileFind::GetFilePath() const {
    return m_impl->haveCurrent ? m_impl->root + m_impl->current.name : std::string();
}

bool CFileFind::IsDots() const {
    const std::string& n = m_impl->current.name;
    return m_impl->haveCurrent && (n == "." || n == "..");
}

bool CFileFind::IsDirectory() const {
    return m_impl->haveCurrent && m_impl->current.directory;
}
bool CFileFind::IsReadOnly() const {
    if (!m_impl->haveCurrent)
        return false;
    m_impl->current.Stat();
    return m_impl->current.readOnly;
}
std::uint64_t CFileFind::GetLength() const {
    if (!m_impl->haveCurrent)
        return 0;
    m_impl->current.Stat();
    return m_impl->current.length;
}
