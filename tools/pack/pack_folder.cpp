#include "tools/pack/pack_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include "platform/archive/crc32.h"
#include "platform/text/text.h"
#include "tools/pack/rar_format.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

std::time_t ToTimeT(fs::file_time_type t) {
    const auto sys = std::chrono::file_clock::to_sys(t);
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
}

// The GBK form of one name on disk, or a reason why it has none usable in
// the archive: no GBK form, a backslash (the archive's separator) or a
// control character (no Windows file name holds one).
std::optional<std::string> ArchiveName(const std::string& utf8, std::string* reason) {
    for (const char c : utf8) {
        if (c == '\\') {
            *reason = "the name holds a backslash, which separates folders in the archive";
            return std::nullopt;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            *reason = "the name holds a control character";
            return std::nullopt;
        }
    }
    std::string gbk = text::Utf8ToGbk(utf8);
    if (text::GbkToUtf8(gbk) != utf8) {
        *reason = "the name cannot be written in GBK (the Chinese code page)";
        return std::nullopt;
    }
    return gbk;
}

// Writes the archive into an open scratch file, entry by entry.
class CRarPacker {
public:
    // archive and scratch are never packed, should they lie inside the folder.
    CRarPacker(std::FILE* out, fs::path archive, fs::path scratch,
               std::vector<std::string>* warnings)
        : m_out(out),
          m_archive(std::move(archive)),
          m_scratch(std::move(scratch)),
          m_warnings(warnings),
          m_buffer(kCopyChunk) {}

    bool Begin(std::string* error) { return Put(RarArchiveStart(), error); }
    bool End(std::string* error) { return Put(RarArchiveEnd(), error); }

    // The folder dir as the archive entry name (GBK), then its content.
    bool AddFolder(const fs::path& dir, const std::string& name, std::string* error) {
        std::error_code ec;
        CRarEntry entry;
        entry.m_strName = name;
        entry.m_bDirectory = true;
        entry.m_dwAttributes = kRarAttributeDirectory;
        const fs::file_time_type modified = fs::last_write_time(dir, ec);
        if (ec)
            return Fail(error, "cannot read " + Quoted(dir) + ": " + ec.message());
        entry.m_dwDosTime = DosDateTime(ToTimeT(modified));
        if (!PutHeader(entry, dir, error))
            return false;

        std::vector<fs::directory_entry> children;
        fs::directory_iterator it(dir, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec))
            children.push_back(*it);
        if (ec)
            return Fail(error, "cannot list " + Quoted(dir) + ": " + ec.message());
        // A fixed order makes the same tree give the same archive.
        std::sort(children.begin(), children.end(),
                  [](const fs::directory_entry& a, const fs::directory_entry& b) {
                      return a.path().filename().native() < b.path().filename().native();
                  });

        for (const fs::directory_entry& child : children) {
            const fs::path& path = child.path();
            if (path == m_scratch)
                continue;
            if (path == m_archive) {
                m_warnings->push_back("skipped the archive being written: " + Quoted(path));
                continue;
            }
            const fs::file_status status = child.symlink_status(ec);
            if (ec)
                return Fail(error, "cannot read " + Quoted(path) + ": " + ec.message());
            if (fs::is_symlink(status)) {
                m_warnings->push_back("skipped symbolic link (not followed): " + Quoted(path));
                continue;
            }
            if (!fs::is_directory(status) && !fs::is_regular_file(status)) {
                m_warnings->push_back("skipped special file: " + Quoted(path));
                continue;
            }
            std::string reason;
            const std::optional<std::string> childName =
                ArchiveName(path.filename().native(), &reason);
            if (!childName)
                return Fail(error, Quoted(path) + ": " + reason);
            const std::string entryName = name + "\\" + *childName;
            if (fs::is_directory(status) ? !AddFolder(path, entryName, error)
                                         : !AddFile(path, entryName, status, error))
                return false;
        }
        return true;
    }

private:
    bool AddFile(const fs::path& path, const std::string& name, const fs::file_status& status,
                 std::string* error) {
        std::error_code ec;
        CRarEntry entry;
        entry.m_strName = name;
        entry.m_dwAttributes = kRarAttributeArchive;
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none)
            entry.m_dwAttributes |= kRarAttributeReadOnly;
        const fs::file_time_type modified = fs::last_write_time(path, ec);
        if (!ec)
            entry.m_nSize = fs::file_size(path, ec);
        if (ec)
            return Fail(error, "cannot read " + Quoted(path) + ": " + ec.message());
        entry.m_dwDosTime = DosDateTime(ToTimeT(modified));

        std::FILE* in = std::fopen(path.c_str(), "rb");
        if (in == nullptr)
            return Fail(error, "cannot open " + Quoted(path) + ": " + std::strerror(errno));

        // The header goes first with the checksum still unknown; it is
        // written again, the same size, once the data has been copied.
        std::fpos_t headerAt;
        bool ok = std::fgetpos(m_out, &headerAt) == 0 || Fail(error, WriteError());
        ok = ok && PutHeader(entry, path, error);
        std::uint64_t copied = 0;
        std::uint32_t crc = 0;
        while (ok) {
            const std::size_t n = std::fread(m_buffer.data(), 1, m_buffer.size(), in);
            if (n == 0) {
                if (std::ferror(in))
                    ok = Fail(error, "cannot read " + Quoted(path) + ": " + std::strerror(errno));
                break;
            }
            crc = Crc32Update(crc, m_buffer.data(), n);
            copied += n;
            if (copied > entry.m_nSize)
                break;  // reported below; no need to copy the rest
            ok = std::fwrite(m_buffer.data(), 1, n, m_out) == n || Fail(error, WriteError());
        }
        std::fclose(in);
        if (!ok)
            return false;
        if (copied != entry.m_nSize)
            return Fail(error, Quoted(path) + " changed size while it was being packed");

        entry.m_dwDataCrc = crc;
        std::fpos_t endAt;
        if (std::fgetpos(m_out, &endAt) != 0 || std::fsetpos(m_out, &headerAt) != 0)
            return Fail(error, WriteError());
        return PutHeader(entry, path, error) &&
               (std::fsetpos(m_out, &endAt) == 0 || Fail(error, WriteError()));
    }

    bool PutHeader(const CRarEntry& entry, const fs::path& path, std::string* error) {
        const std::optional<std::string> header = RarFileHeader(entry);
        if (!header)
            return Fail(error, Quoted(path) + ": the path is too long for an archive entry");
        return Put(*header, error);
    }

    bool Put(const std::string& bytes, std::string* error) {
        return std::fwrite(bytes.data(), 1, bytes.size(), m_out) == bytes.size() ||
               Fail(error, WriteError());
    }

    static std::string WriteError() {
        return std::string("cannot write the archive: ") + std::strerror(errno);
    }

    static bool Fail(std::string* error, const std::string& message) {
        *error = message;
        return false;
    }

    std::FILE* m_out;
    fs::path m_archive;
    fs::path m_scratch;
    std::vector<std::string>* m_warnings;
    std::vector<char> m_buffer;
};

// Creates a new scratch file beside the archive; never opens an existing one.
std::FILE* CreateScratch(const fs::path& archive, fs::path* scratch, std::string* error) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 32; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 8; ++i)
            suffix += kLetters[pick(random)];
        *scratch = archive.parent_path() / ("." + archive.filename().native() + "." + suffix);
        std::FILE* out = std::fopen(scratch->c_str(), "wbx");
        if (out != nullptr)
            return out;
        if (errno != EEXIST) {
            *error = "cannot create " + Quoted(*scratch) + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    *error = "cannot create a scratch file beside " + Quoted(archive);
    return nullptr;
}

}  // namespace

bool CheckTopName(const std::string& topNameUtf8, std::string* errorUtf8) {
    if (topNameUtf8.empty() || topNameUtf8 == "." || topNameUtf8 == "..") {
        *errorUtf8 = "the top folder name \"" + topNameUtf8 + "\" cannot name a folder";
        return false;
    }
    if (topNameUtf8.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        *errorUtf8 = "the top folder name \"" + topNameUtf8 +
                     "\" holds a character a Windows file name cannot hold (\\ / : * ? \" < > |)";
        return false;
    }
    std::string reason;
    if (!ArchiveName(topNameUtf8, &reason)) {
        *errorUtf8 = "the top folder name \"" + topNameUtf8 + "\": " + reason;
        return false;
    }
    return true;
}

bool PackFolder(const std::string& archiveUnixPath, const std::string& folderUnixPath,
                const std::string& topNameUtf8, std::vector<std::string>* warningsUtf8,
                std::string* errorUtf8) {
    std::string scratchError;
    std::string& error = errorUtf8 ? *errorUtf8 : scratchError;
    std::vector<std::string> ignored;
    std::vector<std::string>& warnings = warningsUtf8 ? *warningsUtf8 : ignored;

    std::error_code ec;
    if (folderUnixPath.empty() || archiveUnixPath.empty()) {
        error = "the archive and the folder must both be named";
        return false;
    }
    const fs::path folder = fs::canonical(folderUnixPath, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        error = Quoted(folderUnixPath) + " is not a folder" + (ec ? ": " + ec.message() : "");
        return false;
    }
    std::string top = topNameUtf8;
    if (top.empty()) {
        // The name the folder was given by, not that of a link's target.
        fs::path named = fs::absolute(folderUnixPath, ec).lexically_normal();
        if (!named.has_filename())
            named = named.parent_path();
        top = named.filename().native();
        if (top.empty()) {
            error = Quoted(folder) + " has no name of its own; give the top folder name";
            return false;
        }
    }
    if (!CheckTopName(top, &error))
        return false;
    std::string reason;
    const std::string topGbk = *ArchiveName(top, &reason);

    fs::path archive = fs::absolute(archiveUnixPath, ec);
    if (!ec)
        archive = fs::weakly_canonical(archive, ec);
    if (ec || archive.filename().empty() || fs::is_directory(archive, ec)) {
        error = Quoted(archiveUnixPath) + " cannot be the archive's name";
        return false;
    }
    fs::path scratch;
    std::FILE* out = CreateScratch(archive, &scratch, &error);
    if (out == nullptr)
        return false;

    CRarPacker packer(out, archive, scratch, &warnings);
    bool ok =
        packer.Begin(&error) && packer.AddFolder(folder, topGbk, &error) && packer.End(&error);
    if (ok && std::fflush(out) != 0) {
        error = std::string("cannot write the archive: ") + std::strerror(errno);
        ok = false;
    }
    if (std::fclose(out) != 0 && ok) {
        error = std::string("cannot write the archive: ") + std::strerror(errno);
        ok = false;
    }
    if (ok) {
        fs::rename(scratch, archive, ec);
        if (ec) {
            error = "cannot put the archive in place as " + Quoted(archive) + ": " + ec.message();
            ok = false;
        }
    }
    if (!ok)
        fs::remove(scratch, ec);
    return ok;
}
