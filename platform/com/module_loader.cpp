#include "platform/com/module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/fs/fs.h"

namespace {

thread_local std::string t_loadError;

void Fail(DWORD code, std::string detail) {
    t_loadError = std::move(detail);
    SetLastError(code);
}

}  // namespace

HMODULE LoadLibrary(const std::string& path) {
    std::optional<std::string> unixPath = ToUnixPath(path);
    if (!unixPath) {
        Fail(ERROR_INVALID_NAME, "the path does not name a file on any drive");
        return nullptr;
    }
    struct stat st;
    if (stat(unixPath->c_str(), &st) != 0) {
        Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_MOD_NOT_FOUND : ErrorFromErrno(errno),
             *unixPath + ": " + std::strerror(errno));
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        Fail(ERROR_BAD_EXE_FORMAT, *unixPath + ": not a regular file");
        return nullptr;
    }
    // The loader keeps a count per module: loading one again returns the
    // same handle, and nothing here ever unloads it.
    void* handle = dlopen(unixPath->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        Fail(ERROR_BAD_EXE_FORMAT, why ? why : "not a loadable shared library");
        return nullptr;
    }
    t_loadError.clear();
    return reinterpret_cast<HMODULE>(handle);
}

void* GetProcAddress(HMODULE module, const char* name) {
    if (!module || !name) {
        Fail(ERROR_INVALID_HANDLE, "no module");
        return nullptr;
    }
    dlerror();
    void* address = dlsym(reinterpret_cast<void*>(module), name);
    if (!address) {
        Fail(ERROR_PROC_NOT_FOUND, std::string("the module does not export ") + name);
        return nullptr;
    }
    t_loadError.clear();
    return address;
}

namespace com {

std::string GetModuleLoadError() {
    return t_loadError;
}

}  // namespace com
