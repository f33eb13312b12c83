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

struct stat;

enum class WalkKind { File, Folder, Other };

struct WalkEntry {
    std::string name;  // GBK; '?' stands for a character outside GBK
    WalkKind kind = WalkKind::Other;
    bool link = false;  // a symbolic link (kind tells what it leads to)
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
// source's modification time. Nothing is ever written in place: the data go
// to a file without a name (or a scratch name beside the target) that takes
// the target's name in one step only when complete, or a file is moved in
// whole, so a target always holds its old bytes or its new ones, and a
// failed copy leaves nothing behind.
class CCopyTarget {
public:
    // What the target makes of what it receives.
    enum class ERules {
        // A disc's copy: a new file gets the source's permissions, an
        // existing one keeps its own; an existing read-only file is kept; a
        // link in the way is replaced by the file, never written through.
        kAsSource,
        // An update's: files 0644 and folders 0755 less the umask, never
        // executable; an existing read-only file is replaced; a link in the
        // way is neither replaced nor written through (ERROR_ACCESS_DENIED),
        // and no folder is entered through one.
        kPlain,
    };

    CCopyTarget();
    ~CCopyTarget();
    CCopyTarget(const CCopyTarget&) = delete;
    CCopyTarget& operator=(const CCopyTarget&) = delete;

    // Opens an existing Windows folder (found without regard to letter case).
    // Scratch files that an ended process left in it are removed.
    bool Open(const std::string& winFolder, ERules rules = ERules::kAsSource);
    // Opens the folder of parent named as the folder entry that source.Next
    // gave last (an existing name of another letter case is that folder),
    // making it when missing, with parent's rules. Never through a link: a
    // link of that name fails with ERROR_ACCESS_DENIED, a file with
    // ERROR_FILE_EXISTS.
    bool OpenChild(CCopyTarget& parent, const CWalkFolder& source);
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
    // Moves the file entry that source.Next gave last (not one reached
    // through a link) into this folder under its name, as CopyFrom would
    // copy it: renamed in one step, or copied when the two folders lie on
    // different file systems (the source then stays).
    Outcome MoveFrom(const CWalkFolder& source);

private:
    Outcome CopyOpened(int in, const struct stat& sst, const std::string& sourceName);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The prefix of the scratch names that copies and rewrites use beside their
// targets; "<prefix><process id>-<serial>" (tests look for leftovers).
extern const char kScratchPrefix[];
