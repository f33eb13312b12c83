#include "fuzz/fuzz_env.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/ui/renderer.h"
#include "platform/ui/ui.h"

namespace fuzz {
namespace {

// Presses OK in every box at once: the parsers' messages are not what is
// under test, and a box left open would stop the run.
class COkRenderer : public ui::CQuietRenderer {
public:
    void MessageBoxOpened(const ui::MessageBoxInfo& info) override {
        ui::PressButton(info.box, IDOK, false);
    }
};

std::string g_scratch;
pid_t g_owner = 0;

void RemoveScratch() {
    // A fuzzer may fork after the folder was made; only its maker removes it.
    if (getpid() != g_owner)
        return;
    std::error_code ec;
    std::filesystem::remove_all(g_scratch, ec);
}

}  // namespace

const std::string& ScratchDir() {
    if (!g_scratch.empty())
        return g_scratch;
    std::string tmpl = (std::filesystem::temp_directory_path() / "telvora-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_scratch = tmpl;
    g_owner = getpid();
    std::atexit(RemoveScratch);
    setenv("TELVORA_PREFIX", (g_scratch + "/prefix").c_str(), 1);
    // The machine's own discs would otherwise show up as drives.
    WriteBytes(g_scratch + "/mounts", "");
    setenv("TELVORA_MOUNTS_FILE", (g_scratch + "/mounts").c_str(), 1);
    ui::ClearRenderers();
    ui::SetPrimaryRenderer(std::make_shared<COkRenderer>());
    return g_scratch;
}

std::string WindowsPath(const std::string& unixPath) {
    std::string win = "C:" + unixPath;
    for (char& c : win)
        if (c == '/')
            c = '\\';
    return win;
}

void WriteBytes(const std::string& unixPath, std::string_view bytes) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(unixPath).parent_path(), ec);
    std::ofstream out(unixPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "fuzz: can't write %s\n", unixPath.c_str());
        std::abort();
    }
}

bool ReadBytes(const std::string& unixPath, std::string* bytes) {
    std::ifstream in(unixPath, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *bytes = ss.str();
    return true;
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        std::size_t n = c < 0x80             ? 1
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        if (n == 0 || i + n > s.size())
            return false;
        std::uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            unsigned char t = s[i + k];
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        static const std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

void DrainMessages() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&msg);
}

void Fail(const char* expression, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, expression);
    std::abort();
}

}  // namespace fuzz
