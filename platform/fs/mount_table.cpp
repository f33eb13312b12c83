#include "platform/fs/mount_table.h"

#include <mntent.h>

#include <cstdio>

namespace {

std::vector<MountEntry> ReadEntries(FILE* table) {
    std::vector<MountEntry> entries;
    if (!table)
        return entries;
    mntent entry;
    // Two paths and the options: a longer line is cut, not fatal.
    std::vector<char> buffer(3 * 4096 + 1024);
    while (getmntent_r(table, &entry, buffer.data(), static_cast<int>(buffer.size())))
        entries.push_back({entry.mnt_dir, entry.mnt_type});
    endmntent(table);
    return entries;
}

}  // namespace

std::vector<MountEntry> ReadMountTable(const std::string& file) {
    return ReadEntries(setmntent(file.c_str(), "re"));
}

std::vector<MountEntry> ParseMountTable(const std::string& text) {
    if (text.empty())
        return {};
    // fmemopen reads the text in place; getmntent only reads.
    return ReadEntries(fmemopen(const_cast<char*>(text.data()), text.size(), "r"));
}
