#include "tools/setup/program_dir.h"

#include <filesystem>
#include <optional>

#include "platform/fs/fs.h"

namespace fs = std::filesystem;

std::string ProgramDir() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        if (std::optional<std::string> p = ToUnixPath(GetModuleFileName())) {
            self = fs::canonical(*p, ec);
        }
    }
    return self.parent_path().string();
}
