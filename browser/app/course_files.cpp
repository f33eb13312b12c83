#include "browser/app/course_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
    return s;
}

std::string ExtensionOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return Lower(path.substr(dot + 1));
}

// The entry of folder named name, the exact name first, else one that
// differs only in ASCII letter case.
std::optional<fs::path> FindNoCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder / name, ec)))
        return folder / name;
    const std::string lower = Lower(name);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (Lower(it->path().filename().string()) == lower)
            return it->path();
    }
    return std::nullopt;
}

bool Inside(const fs::path& path, const std::string& root) {
    const std::string p = path.string();
    return p.size() > root.size() && p.compare(0, root.size(), root) == 0 && p[root.size()] == '/';
}

}  // namespace

std::string CCourseFiles::CourseFolderOf(const std::string& page) {
    std::error_code ec;
    fs::path start = fs::weakly_canonical(fs::absolute(page, ec), ec);
    fs::path folder = fs::is_directory(start, ec) ? start : start.parent_path();
    for (fs::path f = folder; !f.empty(); f = f.parent_path()) {
        std::optional<fs::path> ini = FindNoCase(f, "setup.ini");
        if (ini && fs::is_regular_file(*ini, ec))
            return f.string();
        if (f == f.root_path())
            break;
    }
    return folder.string();
}

CCourseFiles::CCourseFiles(std::string courseFolder) {
    std::error_code ec;
    fs::path root = fs::weakly_canonical(fs::absolute(courseFolder, ec), ec);
    m_root = root.string();
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
}

std::optional<std::string> CCourseFiles::Resolve(const std::string& urlPath) const {
    fs::path at = m_root;
    std::size_t start = 0;
    while (start <= urlPath.size()) {
        std::size_t end = urlPath.find('/', start);
        if (end == std::string::npos)
            end = urlPath.size();
        const std::string part = urlPath.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        // A page's "..": the engine resolves those itself; one that is left
        // would lead out.
        if (part == ".." || part.find('\0') != std::string::npos)
            return std::nullopt;
        std::optional<fs::path> next = FindNoCase(at, part);
        if (!next)
            return std::nullopt;
        at = *next;
    }
    // Links are followed, but only to what lies inside the course.
    std::error_code ec;
    const fs::path real = fs::canonical(at, ec);
    if (ec || !Inside(real, m_root) || !fs::is_regular_file(real, ec))
        return std::nullopt;
    return real.string();
}

std::optional<std::string> CCourseFiles::UrlPathOf(const std::string& file) const {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(fs::absolute(file, ec), ec);
    if (ec || !Inside(real, m_root))
        return std::nullopt;
    return real.string().substr(m_root.size());
}

std::string ContentTypeOf(const std::string& path) {
    const std::string ext = ExtensionOf(path);
    if (ext == "htm" || ext == "html" || ext == "asp" || ext == "shtml")
        return "text/html";
    if (ext == "js" || ext == "vbs")
        return "application/javascript";
    if (ext == "css")
        return "text/css";
    if (ext == "txt" || ext == "ini")
        return "text/plain";
    if (ext == "gif")
        return "image/gif";
    if (ext == "jpg" || ext == "jpeg")
        return "image/jpeg";
    if (ext == "png")
        return "image/png";
    if (ext == "bmp")
        return "image/bmp";
    if (ext == "ico")
        return "image/x-icon";
    if (ext == "swf")
        return "application/x-shockwave-flash";
    return "application/octet-stream";
}

bool IsMediaName(const std::string& path) {
    const std::string name = path.substr(0, path.find_first_of("?#"));
    static const char* const kMedia[] = {"asf",  "asx", "wmv", "wma", "wmx", "wvx", "avi", "mpg",
                                         "mpeg", "mp3", "wav", "rm",  "ra",  "ram", "mid", "midi"};
    const std::string ext = ExtensionOf(name);
    return std::find(std::begin(kMedia), std::end(kMedia), ext) != std::end(kMedia);
}
