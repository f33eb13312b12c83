// The archive service on hostile archives (RAR, tar, zip, ... as libarchive
// reads them): the input is extracted into a fresh folder beside another
// folder that holds a file. Nothing may appear, change or vanish outside the
// destination; inside it there are only folders, files with one name each
// and links that stay inside; the process's current folder is as it was; the
// outcome and the problem lines agree; and the listing agrees with what was
// extracted.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/archive/archive.h"

namespace fs = std::filesystem;

namespace {

const char kKeptText[] = "kept outside the destination\n";

// Every entry under root (links not followed), by path relative to root.
std::map<std::string, fs::file_type> Tree(const fs::path& root) {
    std::map<std::string, fs::file_type> tree;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        tree[it->path().lexically_relative(root).string()] = it->symlink_status().type();
    FUZZ_CHECK(!ec);
    return tree;
}

// Whether a relative path, read by its words alone, stays below its start.
bool StaysBelow(const fs::path& relative) {
    if (relative.is_absolute())
        return false;
    int depth = 0;
    for (const fs::path& part : relative) {
        if (part == "..")
            --depth;
        else if (part != "." && !part.empty())
            ++depth;
        if (depth < 0)
            return false;
    }
    return true;
}

bool IsInside(const fs::path& path, const fs::path& root) {
    const fs::path relative = path.lexically_relative(root);
    return !relative.empty() && *relative.begin() != "..";
}

void CheckDestination(const fs::path& dest) {
    const fs::path root = fs::canonical(dest);
    for (const auto& [relative, type] : Tree(dest)) {
        const fs::path path = dest / relative;
        switch (type) {
            case fs::file_type::directory:
                break;
            case fs::file_type::regular:
                // Hard links are refused: every file has this one name.
                FUZZ_CHECK(fs::hard_link_count(path) == 1);
                break;
            case fs::file_type::symlink: {
                // A link's target stays inside, read by its words from the
                // link's folder and resolved through the links it meets (a
                // loop of links leads nowhere and is left alone).
                FUZZ_CHECK(StaysBelow(fs::path(relative).parent_path() / fs::read_symlink(path)));
                std::error_code ec;
                const fs::path real = fs::weakly_canonical(path, ec);
                FUZZ_CHECK(ec || IsInside(real, root));
                break;
            }
            default:
                fuzz::Fail("an entry that is no folder, file or link", __FILE__, __LINE__);
        }
    }
}

void CheckListing(const std::string& archive, const fs::path& dest, bool extracted) {
    std::vector<CArchiveEntryInfo> entries;
    std::string error;
    const bool listed = ListArchive(archive, &entries, &error);
    FUZZ_CHECK(listed || !error.empty());
    FUZZ_CHECK(fuzz::IsValidUtf8(error));
    for (const CArchiveEntryInfo& entry : entries) {
        FUZZ_CHECK(fuzz::IsValidUtf8(entry.m_strPath) && fuzz::IsValidUtf8(entry.m_strRefusal));
        // Extraction went through only when nothing was refused.
        FUZZ_CHECK(!extracted || entry.m_strRefusal.empty());
    }
    if (!extracted)
        return;
    FUZZ_CHECK(listed && !entries.empty());
    // The last entry of each name is what the destination holds.
    std::map<std::string, const CArchiveEntryInfo*> last;
    for (const CArchiveEntryInfo& entry : entries)
        last[entry.m_strPath] = &entry;
    for (const auto& [name, entry] : last) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(dest / name, ec);
        if (entry->m_kind == EArchiveEntryKind::kFile) {
            FUZZ_CHECK(status.type() == fs::file_type::regular);
            if (entry->m_nSize >= 0)
                FUZZ_CHECK(fs::file_size(dest / name) ==
                           static_cast<std::uintmax_t>(entry->m_nSize));
        } else if (entry->m_kind == EArchiveEntryKind::kFolder) {
            FUZZ_CHECK(status.type() == fs::file_type::directory);
        } else if (entry->m_kind == EArchiveEntryKind::kSymlink) {
            FUZZ_CHECK(status.type() == fs::file_type::symlink);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path work = fs::path(fuzz::ScratchDir()) / "archive";
    const fs::path dest = work / "dest";
    const fs::path outside = work / "outside";
    const std::string archive = (work / "input.rar").string();
    std::error_code ec;
    fs::remove_all(dest, ec);
    FUZZ_CHECK(!ec);
    fuzz::WriteBytes((outside / "keep.txt").string(), kKeptText);
    fuzz::WriteBytes(archive, std::string_view(reinterpret_cast<const char*>(data), size));
    const std::map<std::string, fs::file_type> before = Tree(work);
    const fs::path cwd = fs::current_path();

    std::vector<std::string> problems;
    const bool extracted = ExtractArchive(archive, dest.string(), &problems);
    FUZZ_CHECK(extracted == problems.empty());
    for (const std::string& problem : problems)
        FUZZ_CHECK(!problem.empty() && problem.find('\n') == std::string::npos &&
                   fuzz::IsValidUtf8(problem));
    FUZZ_CHECK(fs::current_path() == cwd);

    // Outside the destination all is as it was, the archive included.
    std::map<std::string, fs::file_type> after = Tree(work);
    std::erase_if(after, [](const auto& entry) { return entry.first.rfind("dest", 0) == 0; });
    FUZZ_CHECK(after == before);
    std::string kept, again;
    FUZZ_CHECK(fuzz::ReadBytes((outside / "keep.txt").string(), &kept) && kept == kKeptText);
    FUZZ_CHECK(fuzz::ReadBytes(archive, &again) &&
               again == std::string_view(reinterpret_cast<const char*>(data), size));

    if (fs::exists(dest))
        CheckDestination(dest);
    CheckListing(archive, dest, extracted);
    return 0;
}
