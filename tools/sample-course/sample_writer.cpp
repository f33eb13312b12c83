#include "tools/sample-course/sample_writer.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/text/text.h"

namespace fs = std::filesystem;

CSampleWriter::CSampleWriter(std::string unixRoot) : m_strRoot(std::move(unixRoot)) {
    fs::create_directories(m_strRoot);
}

std::string CSampleWriter::UnixPath(std::string_view relPath) const {
    return m_strRoot + "/" + text::GbkToUtf8(relPath);
}

void CSampleWriter::WriteFile(std::string_view relPath, std::string_view bytes) {
    fs::path path = UnixPath(relPath);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("can't write " + path.string());
    ++m_nFiles;
    m_nBytes += bytes.size();
}

void CSampleWriter::MakeFolder(std::string_view relPath) {
    fs::create_directories(UnixPath(relPath));
}

void CSampleWriter::MarkReadOnly() {
    constexpr fs::perms kWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(m_strRoot)) {
        if (e.is_regular_file())
            fs::permissions(e.path(), kWrite, fs::perm_options::remove);
    }
}
