// Reading a mount table in the format of /proc/self/mounts (fstab(5)):
// the C library's reader splits the fields and decodes the octal escapes
// the kernel writes for blanks, tabs, line ends and backslashes.
#pragma once

#include <string>
#include <vector>

struct MountEntry {
    std::string point;  // the mount point, decoded
    std::string type;   // the file system type
};

// The entries of the mount table in file (none when it can't be read).
std::vector<MountEntry> ReadMountTable(const std::string& file);
// The entries of a mount table given as text.
std::vector<MountEntry> ParseMountTable(const std::string& text);
