// Where the browser's pages come from: the course folder of the page it was
// started with, served under one origin so that every frame of the course
// can reach the others. Names are found without regard to ASCII letter case,
// as the course's pages (written on a system that ignores case) expect, and
// nothing outside the course folder is ever served.
#pragma once

#include <optional>
#include <string>

class CCourseFiles {
public:
    // The course folder of a page (a Unix path): the nearest folder holding
    // it, or above it, that holds setup.ini; the page's own folder when none
    // does.
    static std::string CourseFolderOf(const std::string& page);

    explicit CCourseFiles(std::string courseFolder);

    const std::string& Root() const { return m_root; }
    // The file a URL path names ("/navbar/navbar.htm", percent-decoded,
    // UTF-8), found in the course folder without regard to letter case.
    // Nothing when it is missing, is no regular file, or lies outside.
    std::optional<std::string> Resolve(const std::string& urlPath) const;
    // The URL path of a file inside the course folder ("/a/b.htm"), or
    // nothing for a file outside it.
    std::optional<std::string> UrlPathOf(const std::string& file) const;

private:
    std::string m_root;  // absolute, links resolved, without a trailing '/'
};

// The content type a course file is served with, by its name's extension.
std::string ContentTypeOf(const std::string& path);

// True for the media files that a page's links hand to the media player.
bool IsMediaName(const std::string& path);
