#include "tools/update-server/folder_lock.h"

#include <filesystem>
#include <thread>

#include "platform/text/text.h"
#include "tools/update-server/file_io.h"

namespace fs = std::filesystem;

namespace {

constexpr const char kOwnerFile[] = "/owner";

// This process's id, from /proc (no system header needed).
std::string OwnProcessId() {
    std::error_code ec;
    return fs::read_symlink("/proc/self", ec).string();
}

bool ProcessExists(const std::string& pid) {
    std::error_code ec;
    return !pid.empty() && pid.find('/') == std::string::npos && fs::exists("/proc/" + pid, ec);
}

}  // namespace

CFolderLock::~CFolderLock() {
    Release();
}

bool CFolderLock::Acquire(const std::string& lockFolder, unsigned waitSeconds, std::string* error) {
    Release();
    const int tries = static_cast<int>(waitSeconds) * 10 + 1;
    std::string pid;
    for (int i = 0; i < tries; ++i) {
        std::error_code ec;
        if (fs::create_directory(lockFolder, ec)) {
            m_strFolder = lockFolder;
            WriteNewFile(lockFolder + kOwnerFile, OwnProcessId() + "\n");
            return true;
        }
        if (ec) {
            *error = "cannot make the lock folder " + lockFolder + ": " + ec.message();
            return false;
        }
        // An owner that is gone will not release it: no use waiting. (An
        // owner not yet written is a lock being taken just now.)
        pid.clear();
        ReadWholeFile(lockFolder + kOwnerFile, &pid);
        pid = text::Trim(pid);
        if (!pid.empty() && !ProcessExists(pid)) {
            *error = lockFolder + " was left by process " + pid +
                     ", which has ended without finishing its work; when no other publish or "
                     "account change runs, remove that folder and try again";
            return false;
        }
        if (i + 1 < tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    *error = "another publish or account change is running in this folder (" + lockFolder +
             (pid.empty() ? "" : ", process " + pid) + "); try again when it has finished";
    return false;
}

void CFolderLock::Release() {
    if (m_strFolder.empty())
        return;
    std::error_code ec;
    fs::remove_all(m_strFolder, ec);
    m_strFolder.clear();
}
