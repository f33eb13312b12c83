#include "tools/setup/desktop_entry.h"

#include <cstddef>
#include <sstream>

#include "platform/text/text.h"

namespace {

constexpr char kGroup[] = "[Desktop Entry]";

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// The characters that make an Exec argument need quotes.
bool IsReserved(char c) {
    return std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
}

std::string Unescape(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                // Not an escape the format knows: kept as it stands.
                out += '\\';
                out += value[i];
                break;
        }
    }
    return out;
}

std::string Strip(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

}  // namespace

std::string EscapeDesktopValue(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                // Readers drop blanks around a value; \s keeps them.
                out += (i == 0 || i + 1 == utf8.size()) ? "\\s" : " ";
                break;
            default:
                out += IsControl(static_cast<unsigned char>(c)) ? ' ' : c;
                break;
        }
    }
    return out;
}

bool QuoteExecArgument(const std::string& utf8, std::string* quoted) {
    if (utf8.empty())
        return false;
    bool reserved = false;
    for (char c : utf8) {
        if (IsControl(static_cast<unsigned char>(c)))
            return false;
        reserved = reserved || IsReserved(c);
    }
    std::string out;
    if (reserved)
        out += '"';
    for (char c : utf8) {
        if (reserved && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    if (reserved)
        out += '"';
    *quoted = out;
    return true;
}

bool ComposeDesktopEntry(const DesktopEntryFields& f, std::string* text, std::string* error) {
    for (const std::string* s :
         {&f.name, &f.comment, &f.tryExec, &f.icon, &f.courseId, &f.courseFolder}) {
        if (!text::IsValidUtf8(*s)) {
            *error = "a text of the menu entry is not UTF-8";
            return false;
        }
    }
    if (f.name.empty() || f.command.empty()) {
        *error = "the menu entry needs a name and a command";
        return false;
    }
    std::string exec;
    for (const std::string& arg : f.command) {
        std::string quoted;
        if (!text::IsValidUtf8(arg) || !QuoteExecArgument(arg, &quoted)) {
            *error =
                "the command can't be written into a menu entry (an empty argument, a "
                "control character or bytes that are not UTF-8)";
            return false;
        }
        exec += (exec.empty() ? "" : " ") + quoted;
    }
    std::ostringstream out;
    out << kGroup << "\n"
        << "Type=Application\n"
        << "Version=1.4\n"
        << "Name=" << EscapeDesktopValue(f.name) << "\n";
    if (!f.comment.empty())
        out << "Comment=" << EscapeDesktopValue(f.comment) << "\n";
    out << "Exec=" << EscapeDesktopValue(exec) << "\n";
    if (!f.tryExec.empty())
        out << "TryExec=" << EscapeDesktopValue(f.tryExec) << "\n";
    if (!f.icon.empty())
        out << "Icon=" << EscapeDesktopValue(f.icon) << "\n";
    out << "Terminal=false\n"
        << "Categories=Education;\n";
    if (!f.courseId.empty())
        out << kEntryCourseIdKey << "=" << EscapeDesktopValue(f.courseId) << "\n";
    if (!f.courseFolder.empty())
        out << kEntryCourseFolderKey << "=" << EscapeDesktopValue(f.courseFolder) << "\n";
    *text = out.str();
    return true;
}

bool ReadDesktopEntryValue(const std::string& text, const std::string& key, std::string* value) {
    std::istringstream in(text);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        const std::string stripped = Strip(line);
        if (stripped.empty() || stripped[0] == '#')
            continue;
        if (stripped[0] == '[') {
            inGroup = stripped == kGroup;
            continue;
        }
        const std::size_t eq = stripped.find('=');
        if (!inGroup || eq == std::string::npos)
            continue;
        if (Strip(stripped.substr(0, eq)) == key) {
            *value = Unescape(Strip(line.substr(line.find('=') + 1)));
            return true;
        }
    }
    return false;
}

std::string DesktopEntryFileName(const std::string& courseIdUtf8) {
    return "telvora-" + courseIdUtf8 + ".desktop";
}
