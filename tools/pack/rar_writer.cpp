#include "tools/pack/rar_writer.h"

#include <iostream>
#include <vector>

#include "tools/pack/pack_folder.h"

bool WriteRarArchive(const std::string& archiveUnixPath, const std::string& folderUnixPath,
                     const std::string& topNameUtf8, std::string* errorUtf8) {
    std::vector<std::string> warnings;
    const bool ok = PackFolder(archiveUnixPath, folderUnixPath, topNameUtf8, &warnings, errorUtf8);
    for (const std::string& warning : warnings)
        std::cerr << "warning: " << warning << '\n';
    return ok;
}
