// The folder a server serves and publishers publish into:
//
//   DIR/users.txt                      user accounts (user_accounts.h); none: public
//   DIR/courses/<fileid>/index.txt     the course's packages, oldest first: "CODE SIZE"
//   DIR/courses/<fileid>/<code>.rar    a package archive
//   DIR/courses/<fileid>/<code>.htm    its explanation page (GBK HTML)
//   DIR/.lock-publish                  the lock of publishers (folder_lock.h)
//
// Course folder names on disk are the GBK fileid converted to UTF-8. Only
// the packages that index.txt names are served; the index is replaced in one
// rename, after the package's files are in place, so a reader sees a package
// either whole or not at all.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/serverio/server_files.h"

struct CPackage {
    std::string code;        // YYMMDDNN
    std::uint64_t size = 0;  // archive size in bytes
};

// Reads an index text: one "CODE SIZE" a line; blank lines and lines
// starting with '#' are comments. Malformed lines and repeated codes are
// skipped. The result is sorted by code, oldest first.
std::vector<CPackage> ParseIndex(std::string_view text);
// The index text for packages (given oldest first).
std::string ComposeIndex(const std::vector<CPackage>& packages);

// The codes an index names as withdrawn ("# withdrawn CODE" lines, which
// unpublish leaves): such a code is never published again, so the bytes
// behind an archive's name never change.
std::vector<std::string> WithdrawnCodes(std::string_view text);
// The newest code the index ever named, listed or withdrawn ("" for none).
std::string NewestCodeEver(std::string_view text);

// The packages newer than installed (see IsNewerCode), oldest first, at most
// limit of them: the oldest ones, so that a client that can take only so
// many applies them in order and gets the rest next time. packages must be
// sorted by code (as ParseIndex gives them); the first one is found by
// bisection.
std::vector<CPackage> PackagesNewerThan(const std::vector<CPackage>& packages,
                                        std::string_view installed, std::size_t limit);

class CPackageStore {
public:
    explicit CPackageStore(std::string rootUtf8);

    const std::string& Root() const { return m_strRoot; }
    std::string UsersFile() const;
    // The publish lock (folder_lock.h).
    std::string LockFile() const;
    std::string CoursesFolder() const;
    // Paths of a course's files (UTF-8). fileid is GBK and must be a valid
    // course name (package_names.h); code a package code.
    std::string CourseFolder(std::string_view fileid) const;
    std::string IndexFile(std::string_view fileid) const;
    std::string ArchiveFile(std::string_view fileid, std::string_view code) const;
    std::string NotesFile(std::string_view fileid, std::string_view code) const;

    // The course's published packages, oldest first. Empty for a name that
    // cannot be a course, an unknown course, or an index that cannot be read.
    std::vector<CPackage> Packages(std::string_view fileid) const;
    // The course's index as it is (empty when the course has none yet);
    // false with *error (UTF-8) when an index exists but cannot be read.
    bool ReadIndexText(std::string_view fileid, std::string* content, std::string* error) const;

private:
    std::string m_strRoot;
};

// The published packages of each course, held in memory and read again when
// the course's index changes (its size or time, or its text while it is new
// enough that a change could hide in the time's granularity): a query costs
// the same whatever the index holds. Safe to call from several threads.
class CIndexCache {
public:
    explicit CIndexCache(std::string rootUtf8) : m_store(std::move(rootUtf8)) {}
    using Packages = std::shared_ptr<const std::vector<CPackage>>;
    // The course's packages, sorted by code; empty for a name that cannot be
    // a course, an unknown course, or an index that cannot be read.
    Packages Course(std::string_view fileid);

private:
    struct CEntry {
        CFileStamp stamp;
        std::string text;
        Packages packages;
    };
    CPackageStore m_store;
    std::mutex m_mutex;
    std::unordered_map<std::string, CEntry> m_courses;
};
