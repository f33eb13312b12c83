#include <filesystem>
#include <ostream>

#include "platform/com/create.h"
#include "platform/com/module_loader.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "tools/ocx/ocx_commands.h"

int RunRegistration(const COcxArgs& args, std::ostream& out, std::ostream& err) {
    const bool registering = args.command == COcxArgs::Command::Register;
    const char* entryName = registering ? "DllRegisterServer" : "DllUnregisterServer";
    std::error_code ec;
    const std::filesystem::path unixPath = std::filesystem::absolute(args.module, ec);
    if (ec || !std::filesystem::exists(unixPath, ec)) {
        err << "telvora-ocx: " << args.module << ": no such file\n";
        return kOcxFailed;
    }
    if (!std::filesystem::is_regular_file(unixPath, ec)) {
        err << "telvora-ocx: " << args.module << ": not a file\n";
        return kOcxFailed;
    }
    // The module registers the path it was loaded from: a Windows path.
    std::optional<std::string> winPath = ToWindowsPath(unixPath.string());
    if (!winPath) {
        err << "telvora-ocx: " << args.module << ": no drive letter reaches this file\n";
        return kOcxFailed;
    }
    HMODULE module = LoadLibrary(*winPath);
    if (!module) {
        err << "telvora-ocx: " << args.module
            << ": not a loadable shared library: " << com::GetModuleLoadError() << "\n";
        return kOcxFailed;
    }
    auto entry = reinterpret_cast<PFNDLLREGISTERSERVER>(GetProcAddress(module, entryName));
    if (!entry) {
        err << "telvora-ocx: " << args.module << " has no " << entryName
            << " entry point (not a self-registering component)\n";
        return kOcxFailed;
    }
    const HRESULT hr = entry();
    out << com::HResultHex(hr) << std::endl;
    if (FAILED(hr)) {
        err << "telvora-ocx: " << entryName << " failed: " << com::HResultText(hr) << "\n";
        return kOcxFailed;
    }
    return kOcxOk;
}
