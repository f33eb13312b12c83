#include "tools/update-server/file_io.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/serverio/server_files.h"
#include "tools/update-server/password_hash.h"
#include "tools/update-server/url_escapes.h"

namespace fs = std::filesystem;

bool ReadWholeFile(const std::string& path, std::string* content) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string ScratchPathFor(const std::string& path) {
    const fs::path p(path);
    static std::atomic<unsigned> s_counter{0};
    std::string random;
    if (!RandomBytes(6, &random))
        random = std::to_string(++s_counter);
    return (p.parent_path() / ("." + p.filename().string() + "." + ToHex(random) + ".partial"))
        .string();
}

bool WriteNewFile(const std::string& path, std::string_view content, bool ownerOnly) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        if (ownerOnly) {
            std::error_code ec;
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write,
                            fs::perm_options::replace, ec);
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (out.good())
            return true;
    }
    std::error_code ec;
    fs::remove(path, ec);
    return false;
}

bool ReplaceFileContent(const std::string& path, std::string_view content, bool ownerOnly) {
    const std::string scratch = ScratchPathFor(path);
    // On the disk before the name stands for it, and the name after.
    if (!WriteNewFile(scratch, content, ownerOnly) || !SyncToDisk(scratch)) {
        std::error_code ec;
        fs::remove(scratch, ec);
        return false;
    }
    std::error_code ec;
    fs::rename(scratch, path, ec);
    if (ec) {
        fs::remove(scratch, ec);
        return false;
    }
    SyncToDisk(fs::path(path).parent_path().string());
    return true;
}
