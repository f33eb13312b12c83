#include "tools/update-server/publish.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/process/process.h"
#include "platform/serverio/server_files.h"
#include "platform/text/text.h"
#include "tools/update-server/file_io.h"
#include "tools/update-server/folder_lock.h"
#include "tools/update-server/package_names.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/update_pages.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxNotesBytes = 16 * 1024 * 1024;

// Files made under scratch names; removed unless kept.
class CScratchFiles {
public:
    ~CScratchFiles() {
        for (const std::string& path : m_paths) {
            std::error_code ec;
            fs::remove(path, ec);
        }
    }
    std::string Add(const std::string& path) {
        m_paths.push_back(path);
        return path;
    }
    void Keep() { m_paths.clear(); }

private:
    std::vector<std::string> m_paths;
};

int Refuse(std::ostream& err, const std::string& utf8) {
    err << "telvora-update-server: publish refused: " << utf8 << "\n";
    return kExitRefused;
}

bool FileStartsLikeRar(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[7] = {};
    in.read(head, sizeof head);
    return in.gcount() == static_cast<std::streamsize>(sizeof head) &&
           LooksLikeRar(std::string_view(head, sizeof head));
}

}  // namespace

bool LooksLikeRar(std::string_view bytes) {
    return bytes.substr(0, 7) == std::string_view("Rar!\x1a\x07\x00", 7) ||
           bytes.substr(0, 7) == std::string_view("Rar!\x1a\x07\x01", 7);
}

int PublishPackage(const CPublishRequest& request, std::ostream& out, std::ostream& err) {
    const std::string courseUtf8 = text::GbkToUtf8(request.course);
    if (const std::string problem = CourseNameProblem(request.course); !problem.empty())
        return Refuse(err, "the course name \"" + courseUtf8 + "\" " + problem +
                               "; it must be usable as a folder name");
    if (!IsPackageCode(request.code))
        return Refuse(err, "the code \"" + request.code +
                               "\" is not a package code: eight digits YYMMDDNN, such as 03052301");
    std::error_code ec;
    if (!request.archive.empty() && !fs::is_regular_file(request.archive, ec))
        return Refuse(err, "the archive " + request.archive + " is not a file");
    if (!request.archive.empty() && !FileStartsLikeRar(request.archive))
        return Refuse(err, "the archive " + request.archive +
                               " is not a RAR archive (it does not begin with the RAR signature)");
    if (!request.from.empty() && !fs::is_directory(request.from, ec))
        return Refuse(err, "--from " + request.from + " is not a folder");
    if (!request.from.empty() && request.packTool.empty())
        return Refuse(
            err,
            "--from is not available in this build (telvora-pack is not installed "
            "beside telvora-update-server); make the archive elsewhere and use --archive");
    std::string notes;
    if (!request.notes.empty()) {
        if (fs::is_regular_file(request.notes, ec) &&
            fs::file_size(request.notes, ec) > kMaxNotesBytes)
            return Refuse(err, "the notes page " + request.notes + " is larger than 16 MB");
        if (!ReadWholeFile(request.notes, &notes))
            return Refuse(err, "the notes page " + request.notes + " cannot be read");
    } else {
        notes = DefaultNotesPage(request.course, request.code);
    }

    CPackageStore store(request.dir);
    const std::string courseFolder = store.CourseFolder(request.course);
    fs::create_directories(courseFolder, ec);
    if (!fs::is_directory(courseFolder))
        return Refuse(
            err, "cannot make the course folder " + courseFolder + (ec ? ": " + ec.message() : ""));
    std::string index;
    std::string error;
    if (!store.ReadIndexText(request.course, &index, &error))
        return Refuse(err, error);
    // Checked before the long copy, and again under the lock. A withdrawn
    // code counts too: its archive's name must never stand for other bytes.
    if (const std::string last = NewestCodeEver(index); !IsNewerCode(request.code, last))
        return Refuse(err, "the code " + request.code + " is not newer than " + last +
                               ", the last package published for \"" + courseUtf8 + "\"");

    CScratchFiles scratch;
    const std::string archiveFile = store.ArchiveFile(request.course, request.code);
    const std::string notesFile = store.NotesFile(request.course, request.code);
    const std::string archiveScratch = scratch.Add(ScratchPathFor(archiveFile));
    if (!request.archive.empty()) {
        if (!fs::copy_file(request.archive, archiveScratch, fs::copy_options::overwrite_existing,
                           ec))
            return Refuse(err, "cannot copy " + request.archive + " into " + courseFolder + ": " +
                                   ec.message());
    } else {
        const int status = RunProgramAndWait(request.packTool,
                                             {archiveScratch, request.from, "--top", courseUtf8});
        if (status != 0 || !fs::is_regular_file(archiveScratch, ec))
            return Refuse(err, request.packTool + " could not make the archive from " +
                                   request.from + " (exit status " + std::to_string(status) + ")");
        if (!FileStartsLikeRar(archiveScratch))
            return Refuse(err, request.packTool + " did not make a RAR archive");
    }
    const std::uintmax_t size = fs::file_size(archiveScratch, ec);
    if (ec)
        return Refuse(err, "cannot read back the copied archive: " + ec.message());
    const std::string notesScratch = scratch.Add(ScratchPathFor(notesFile));
    if (!WriteNewFile(notesScratch, notes))
        return Refuse(err, "cannot write the notes page into " + courseFolder);
    // On the disk before the index names them.
    if (!SyncToDisk(archiveScratch) || !SyncToDisk(notesScratch))
        return Refuse(err, "cannot write the package to the disk in " + courseFolder);

    CFolderLock lock;
    if (!lock.Acquire(store.LockFile(), request.lockWaitSeconds, &error))
        return Refuse(err, error);
    if (!store.ReadIndexText(request.course, &index, &error))
        return Refuse(err, error);
    if (const std::string last = NewestCodeEver(index); !IsNewerCode(request.code, last))
        return Refuse(err, "the code " + request.code + " is not newer than " + last +
                               ", published for \"" + courseUtf8 + "\" meanwhile");
    // Files of this code that the index does not name are leftovers of a
    // publish that never finished: they are replaced.
    fs::rename(archiveScratch, archiveFile, ec);
    if (!ec)
        fs::rename(notesScratch, notesFile, ec);
    if (ec)
        return Refuse(
            err, "cannot move the package into place in " + courseFolder + ": " + ec.message());
    if (index.empty())
        index = ComposeIndex({});
    if (index.back() != '\n')
        index += '\n';
    index += request.code + " " + std::to_string(size) + "\n";
    if (!ReplaceFileContent(store.IndexFile(request.course), index))
        return Refuse(err, "cannot write the index of " + courseFolder);
    scratch.Keep();
    lock.Release();

    out << "published " << request.code << " for course \"" << courseUtf8
        << "\": " << fs::path(archiveFile).lexically_relative(store.Root()).string() << " (" << size
        << " bytes)\n";
    return kExitDone;
}

namespace {

int RefuseWithdraw(std::ostream& err, const std::string& utf8) {
    err << "telvora-update-server: unpublish refused: " << utf8 << "\n";
    return kExitRefused;
}

}  // namespace

int UnpublishPackage(const std::string& dir, const std::string& course, const std::string& code,
                     std::ostream& out, std::ostream& err, unsigned lockWaitSeconds) {
    const std::string courseUtf8 = text::GbkToUtf8(course);
    if (const std::string problem = CourseNameProblem(course); !problem.empty())
        return RefuseWithdraw(err, "the course name \"" + courseUtf8 + "\" " + problem);
    if (!IsPackageCode(code))
        return RefuseWithdraw(err, "the code \"" + code + "\" is not a package code (YYMMDDNN)");
    CPackageStore store(dir);
    std::string error;
    CFolderLock lock;
    if (!lock.Acquire(store.LockFile(), lockWaitSeconds, &error))
        return RefuseWithdraw(err, error);
    std::string index;
    if (!store.ReadIndexText(course, &index, &error))
        return RefuseWithdraw(err, error);
    bool listed = false;
    for (const CPackage& p : ParseIndex(index))
        listed = listed || p.code == code;
    if (!listed)
        return RefuseWithdraw(err,
                              "no package " + code + " is published for \"" + courseUtf8 + "\"");
    // Every line stays but the package's own; the code is kept as withdrawn.
    std::string kept;
    std::size_t start = 0;
    while (start < index.size()) {
        std::size_t end = index.find('\n', start);
        if (end == std::string::npos)
            end = index.size();
        const std::string line = index.substr(start, end - start);
        start = end + 1;
        const std::string trimmed = text::Trim(line);
        const std::vector<CPackage> one = ParseIndex(trimmed);
        if (one.size() == 1 && one[0].code == code)
            continue;
        kept += line + "\n";
    }
    kept += "# withdrawn " + code + "\n";
    if (!ReplaceFileContent(store.IndexFile(course), kept))
        return RefuseWithdraw(err, "cannot write the index of " + store.CourseFolder(course));
    // The files go once no index names them.
    std::error_code ec;
    fs::remove(store.ArchiveFile(course, code), ec);
    fs::remove(store.NotesFile(course, code), ec);
    lock.Release();
    out << "withdrew " << code << " from course \"" << courseUtf8 << "\"\n";
    return kExitDone;
}

int ListPackages(const std::string& dir, const std::string& course, std::ostream& out,
                 std::ostream& err) {
    CPackageStore store(dir);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        err << "telvora-update-server: list: " << dir << " is not a folder\n";
        return kExitRefused;
    }
    std::vector<std::string> courses;
    if (!course.empty()) {
        if (const std::string problem = CourseNameProblem(course); !problem.empty()) {
            err << "telvora-update-server: list: the course name \"" << text::GbkToUtf8(course)
                << "\" " << problem << "\n";
            return kExitRefused;
        }
        courses.push_back(course);
    } else {
        for (const auto& entry : fs::directory_iterator(store.CoursesFolder(), ec)) {
            const std::string gbk = text::Utf8ToGbk(entry.path().filename().string());
            if (entry.is_directory(ec) && IsValidCourseName(gbk))
                courses.push_back(gbk);
        }
        std::sort(courses.begin(), courses.end());
    }
    int status = kExitDone;
    for (const std::string& name : courses) {
        std::string index, error;
        if (!store.ReadIndexText(name, &index, &error)) {
            err << "telvora-update-server: list: " << error << "\n";
            status = kExitRefused;
            continue;
        }
        const std::vector<CPackage> packages = ParseIndex(index);
        out << text::GbkToUtf8(name) << ": " << packages.size()
            << (packages.size() == 1 ? " package" : " packages") << "\n";
        for (const CPackage& p : packages)
            out << "  " << p.code << "  " << p.size << " bytes  "
                << text::GbkToUtf8(CodeDateText(p.code)) << "\n";
        for (const std::string& code : WithdrawnCodes(index))
            out << "  " << code << "  withdrawn\n";
    }
    if (courses.empty())
        out << "nothing is published in " << dir << "\n";
    return status;
}
