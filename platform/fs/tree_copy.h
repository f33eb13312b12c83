// Walking a tree of folders and copying its files, for copies of a whole
// disc: each folder is opened once and listed with the kind of each entry,
// and files are copied into a destination folder opened once, so that a walk
// costs no path lookup per file.
//
// What a walk takes from the tree it walks:
// - regular files and folders only; FIFOs, devices and sockets are listed as
//   WalkKind::Other (opening a FIFO would wait for a writer for ever);
// - a symbolic link counts as what it points to, but only when that lies
//   inside the walk's root; a link leading outside is Other;
// - a folder already on the walk's path (by device and inode) is Other, and
//   a folder reached through a link is entered once per walk, so links can
//   neither make a walk endless nor multiply it.
// Two walks of an unchanged tree see the same entries in the same order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum class WalkKind { File, Folder, Other };

struct WalkEntry {
    std::string name;  // GBK; '?' stands for a character outside GBK
    WalkKind kind = WalkKind::Other;
};

// One folder of a walk.
class CWalkFolder {
public:
    CWalkFolder();
    ~CWalkFolder();
    CWalkFolder(const CWalkFolder&) = delete;
    CWalkFolder& operator=(const CWalkFolder&) = delete;

    // Opens a Windows folder path as the root of a new walk.
    bool OpenRoot(const std::string& winFolder);
    // Opens the folder entry that parent.Next gave last.
    bool OpenChild(const CWalkFolder& parent);
    // The next entry other than "." and "..", in the order the file system
    // lists them; false at the end (or when the listing fails: last error).
    bool Next(WalkEntry* entry);

private:
    friend class CCopyTarget;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A destination folder of a copy, opened once. A file it receives keeps the
// source's modification time; a new file gets the source's permissions.
// Nothing is ever written in place: the data go to a file without a name
// (or a scratch name beside the target) that takes the target's name in one
// step only when complete, so a target always holds its old bytes or its new
// ones, and a failed copy leaves nothing behind.
class CCopyTarget {
public:
    CCopyTarget();
    ~CCopyTarget();
    CCopyTarget(const CCopyTarget&) = delete;
    CCopyTarget& operator=(const CCopyTarget&) = delete;

    // Opens an existing Windows folder (found without regard to letter case).
    // Scratch files that an ended process left in it are removed.
    bool Open(const std::string& winFolder);
    enum Outcome {
        kCopied,
        kKeptReadOnly,  // an existing read-only file, kept as it is (not a failure)
        kFailed,        // with the last error
    };
    // Copies the file entry that source.Next gave last into this folder under
    // its name; an existing name of another letter case is replaced where it
    // is. beforeData, when given, hears the file's size before its data are
    // copied (a caller may want to announce a long copy).
    Outcome CopyFrom(const CWalkFolder& source,
                     const std::function<void(std::uint64_t size)>& beforeData = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The prefix of the scratch names that copies and rewrites use beside their
// targets; "<prefix><process id>-<serial>" (tests look for leftovers).
extern const char kScratchPrefix[];
