// Case-insensitive name lookup over a case-sensitive file system. Each folder
// that needs a search gets an index (ASCII-lower-cased name -> name on disk),
// built with one directory scan and kept while the folder's identity and
// modification time stay the same. Exact names never come here: the path
// resolver tries them with one stat first.
//
// Modification times come from a coarse kernel clock, so a change made in
// the same clock tick as the scan can leave the time unchanged. An index whose
// folder changed shortly before its scan is therefore scanned once more when
// that window has passed ("racy" index, as version-control tools handle it).
#include <dirent.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/fs/fs_internal.h"

namespace fs_detail {
namespace {

// Longer than the coarsest timestamp granularity in use (2 s on FAT).
constexpr std::int64_t kRacyWindowNs = 2'000'000'000;
constexpr std::size_t kMaxFolders = 64;

std::atomic<std::uint64_t> g_scans{0};

std::int64_t Ns(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t NowNs() {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return Ns(t);
}

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

struct NameSlot {
    std::string name;       // first name with this lower-case form, in listing order
    bool variants = false;  // more names share the lower-case form
};

struct FolderIndex {
    dev_t dev = 0;
    ino_t ino = 0;
    std::int64_t mtime = 0;
    std::int64_t rescanAfter = 0;  // racy until then; 0 when settled
    std::unordered_map<std::string, NameSlot> names;
    std::list<std::string>::iterator lru;
};

class CIndexCache {
public:
    std::optional<std::string> Find(const std::string& folder, const struct stat& st,
                                    const std::string& name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        FolderIndex* index = Current(folder, st);
        if (!index)
            return std::nullopt;
        auto it = index->names.find(Lower(name));
        if (it == index->names.end())
            return std::nullopt;
        return it->second.name;
    }

    bool Has(const std::string& folder) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_folders.count(folder) != 0;
    }

    // Applies this process's own change when the index was current just
    // before it; otherwise drops the index.
    void Apply(const std::string& folder, const struct stat& pre, const std::string& name,
               bool added) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_folders.find(folder);
        if (it == m_folders.end())
            return;
        FolderIndex& index = it->second;
        struct stat post;
        bool same = index.dev == pre.st_dev && index.ino == pre.st_ino &&
                    index.mtime == Ns(pre.st_mtim) && stat(folder.c_str(), &post) == 0 &&
                    post.st_ino == pre.st_ino && post.st_dev == pre.st_dev;
        if (same) {
            std::string key = Lower(name);
            auto slot = index.names.find(key);
            if (added) {
                if (slot == index.names.end())
                    index.names.emplace(std::move(key), NameSlot{name, false});
                else if (slot->second.name != name)
                    slot->second.variants = true;
            } else if (slot != index.names.end()) {
                // Another name of the same form may remain: only a rescan knows it.
                if (slot->second.variants)
                    same = false;
                if (slot->second.name == name)
                    index.names.erase(slot);
            }
        }
        if (!same) {
            Drop(it);
            return;
        }
        index.mtime = Ns(post.st_mtim);
        index.rescanAfter = std::max(index.rescanAfter, RacyUntil(index.mtime, NowNs()));
    }

private:
    static std::int64_t RacyUntil(std::int64_t mtime, std::int64_t scanStart) {
        return mtime + kRacyWindowNs > scanStart ? mtime + kRacyWindowNs : 0;
    }

    FolderIndex* Current(const std::string& folder, const struct stat& st) {
        auto it = m_folders.find(folder);
        if (it != m_folders.end()) {
            FolderIndex& index = it->second;
            bool same = index.dev == st.st_dev && index.ino == st.st_ino &&
                        index.mtime == Ns(st.st_mtim) &&
                        (index.rescanAfter == 0 || NowNs() < index.rescanAfter);
            if (same) {
                m_lru.splice(m_lru.begin(), m_lru, index.lru);
                return &index;
            }
            Drop(it);
        }
        return Scan(folder, st);
    }

    FolderIndex* Scan(const std::string& folder, const struct stat& st) {
        std::int64_t scanStart = NowNs();
        DIR* dir = opendir(folder.c_str());
        if (!dir)
            return nullptr;
        ++g_scans;
        FolderIndex index;
        index.dev = st.st_dev;
        index.ino = st.st_ino;
        // The time read before the scan: a change during the scan leaves the
        // index with an old time, so the next lookup scans again.
        index.mtime = Ns(st.st_mtim);
        index.rescanAfter = RacyUntil(index.mtime, scanStart);
        while (struct dirent* e = readdir(dir)) {
            std::string_view n(e->d_name);
            if (n == "." || n == "..")
                continue;
            auto [slot, inserted] = index.names.try_emplace(Lower(n), NameSlot{std::string(n)});
            if (!inserted)
                slot->second.variants = true;
        }
        closedir(dir);
        while (m_folders.size() >= kMaxFolders)
            Drop(m_folders.find(m_lru.back()));
        m_lru.push_front(folder);
        index.lru = m_lru.begin();
        return &m_folders.insert_or_assign(folder, std::move(index)).first->second;
    }

    void Drop(std::unordered_map<std::string, FolderIndex>::iterator it) {
        m_lru.erase(it->second.lru);
        m_folders.erase(it);
    }

    std::mutex m_mutex;
    std::unordered_map<std::string, FolderIndex> m_folders;
    std::list<std::string> m_lru;  // most recently used first
};

CIndexCache& Cache() {
    static CIndexCache* cache = new CIndexCache;  // never destroyed: usable during exit
    return *cache;
}

}  // namespace

std::optional<std::string> FindNameNoCase(const std::string& folder, const struct stat& folderStat,
                                          const std::string& name) {
    return Cache().Find(folder, folderStat, name);
}

CFolderChange::CFolderChange(const std::string& unixPath)
    : m_folder(UnixParent(unixPath)), m_name(UnixBaseName(unixPath)) {
    // Only an index that exists can be kept current. One made meanwhile by
    // another thread is checked against the folder's time when used, like
    // any index after a change by another process.
    m_havePre = Cache().Has(m_folder) && stat(m_folder.c_str(), &m_pre) == 0;
}

void CFolderChange::Added() {
    Apply(true);
}
void CFolderChange::Removed() {
    Apply(false);
}

void CFolderChange::Apply(bool added) {
    if (m_havePre && !m_name.empty())
        Cache().Apply(m_folder, m_pre, m_name, added);
}

}  // namespace fs_detail

std::uint64_t FolderScanCount() {
    return fs_detail::g_scans.load();
}
