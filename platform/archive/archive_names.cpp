#include "platform/archive/archive_names.h"

#include <cstdint>
#include <cstdio>

#include "platform/text/text.h"

namespace archive_names {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// Splits on '/' only, keeping empty components.
std::vector<std::string_view> SplitSlashes(std::string_view s) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = s.find('/', start);
        parts.push_back(s.substr(start, slash == std::string_view::npos ? slash : slash - start));
        if (slash == std::string_view::npos)
            return parts;
        start = slash + 1;
    }
}

}  // namespace

std::string RestoreRarNarrowName(std::string_view mangled) {
    std::string out(mangled);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (!text::IsLeadByte(c) || i + 1 >= out.size())
            continue;
        const auto next = static_cast<unsigned char>(out[i + 1]);
        if (next == '/') {
            out[i + 1] = '\\';
            ++i;
        } else if (text::IsTrailByte(next)) {
            ++i;
        }
    }
    return out;
}

std::string NameToUtf8(std::string_view name, ENameForm form) {
    switch (form) {
        case ENameForm::kUtf8:
            return std::string(name);
        case ENameForm::kRarNarrow:
            return text::GbkToUtf8(RestoreRarNarrowName(name));
        case ENameForm::kGuess:
            break;
    }
    return text::IsValidUtf8(name) ? std::string(name) : text::GbkToUtf8(name);
}

bool SplitEntryPath(std::string_view name, std::vector<std::string>* components,
                    std::string* reason) {
    components->clear();
    if (name.empty()) {
        *reason = "the entry has no name";
        return false;
    }
    for (const char c : name) {
        if (IsControl(c)) {
            *reason = "the name holds a control character";
            return false;
        }
    }
    if (IsSeparator(name[0])) {
        *reason = "the name is absolute (it would lead outside the destination)";
        return false;
    }
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        *reason = "the name starts with a drive letter (it would lead outside the destination)";
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            *reason = "the name holds \"..\" (it would lead outside the destination)";
            return false;
        }
        if (!part.empty() && part != ".")
            components->emplace_back(part);
        start = end + 1;
    }
    if (components->empty()) {
        *reason = "the entry has no name";
        return false;
    }
    return true;
}

std::string JoinPath(const std::vector<std::string>& components) {
    std::string joined;
    for (const std::string& part : components) {
        if (!joined.empty())
            joined += '/';
        joined += part;
    }
    return joined;
}

bool LinkStaysInside(const std::vector<std::string>& linkPath, std::string_view target,
                     std::vector<std::string>* traversed, std::string* reason) {
    traversed->clear();
    if (target.empty()) {
        *reason = "the link has no target";
        return false;
    }
    if (target[0] == '/') {
        *reason = "the link points to an absolute path, outside the destination";
        return false;
    }
    std::vector<std::string> at(linkPath.begin(), linkPath.end());
    if (!at.empty())
        at.pop_back();  // a relative target starts from the link's own folder
    const std::vector<std::string_view> parts = SplitSlashes(target);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = parts[i];
        if (part == "..") {
            if (at.empty()) {
                *reason = "the link points outside the destination";
                return false;
            }
            at.pop_back();
        } else if (!part.empty() && part != ".") {
            at.emplace_back(part);
        }
        // Every step but the last passes through what it reached as a folder.
        if (i + 1 < parts.size() && !at.empty())
            traversed->push_back(JoinPath(at));
    }
    return true;
}

std::string Printable(std::string_view utf8) {
    std::string out;
    for (const char c : utf8) {
        if (IsControl(c)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace archive_names
