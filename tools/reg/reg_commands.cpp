#include "tools/reg/reg_commands.h"

#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>
#include <vector>

#include "platform/text/number.h"
#include "platform/text/text.h"

namespace {

constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";

std::string Utf8(std::string_view gbk) {
    return text::GbkToUtf8(gbk);
}

int Fail(LONG rc, std::ostream& err) {
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_KEY_DELETED)
        err << kNotFound << "\n";
    else if (rc == ERROR_INVALID_PARAMETER)
        err << "ERROR: Invalid key name.\n";
    else
        err << "ERROR: " << Utf8(text::TrimRight(FormatSystemMessage(static_cast<DWORD>(rc))))
            << "\n";
    return 1;
}

std::string ValueDisplayName(const std::string& name) {
    return name.empty() ? "(Default)" : name;
}

std::string ValueLine(const std::string& name, DWORD type, const std::string& data) {
    std::string typeName, shown;
    if (type == REG_SZ) {
        typeName = "REG_SZ";
        shown = data;
    } else if (type == REG_DWORD && data.size() == 4) {
        DWORD value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<BYTE>(data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%x", value);
        typeName = "REG_DWORD";
        shown = buf;
    } else {
        typeName = type == REG_NONE ? "REG_NONE" : "REG_BINARY";
        for (const char c : data) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02X", static_cast<BYTE>(c));
            shown += buf;
        }
    }
    return "    " + ValueDisplayName(name) + "    " + typeName + "    " + shown;
}

// The value lines of a key, only the value named filter when one is given.
LONG ListValues(HKEY key, const std::optional<std::string>& filter,
                std::vector<std::string>* lines) {
    std::string name, data;
    DWORD type = REG_NONE;
    for (DWORD i = 0;; ++i) {
        const LONG rc = RegEnumValue(key, i, &name, &type, &data);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        if (!filter || text::EqualsNoCase(name, *filter))
            lines->push_back(ValueLine(name, type, data));
    }
}

LONG ListSubKeys(HKEY key, std::vector<std::string>* names) {
    std::string name;
    for (DWORD i = 0;; ++i) {
        const LONG rc = RegEnumKey(key, i, &name);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        names->push_back(name);
    }
}

bool Confirm(const std::string& question, std::ostream& out, std::istream& in) {
    out << Utf8(question) << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(in, answer))
        return false;
    answer = text::AsciiLower(text::Trim(answer));
    return answer == "y" || answer == "yes";
}

int Cancelled(std::ostream& out) {
    out << "The operation was cancelled by the user.\n";
    return 1;
}

bool ValueExists(HKEY key, const std::string& wanted) {
    std::vector<std::string> lines;
    return ListValues(key, wanted, &lines) == ERROR_SUCCESS && !lines.empty();
}

// Decimal or 0x-prefixed hexadecimal, up to 0xFFFFFFFF.
bool ParseDword(const std::string& s, DWORD* value) {
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    std::uint64_t v = 0;
    if (hex) {
        const char* last = s.data() + s.size();
        auto [stop, ec] = std::from_chars(s.data() + 2, last, v, 16);
        if (ec != std::errc() || stop != last || v > 0xffffffffu)
            return false;
    } else {
        const std::optional<std::int64_t> n = text::ParseDecimal(s, 0, 0xffffffff);
        if (!n)
            return false;
        v = static_cast<std::uint64_t>(*n);
    }
    *value = static_cast<DWORD>(v);
    return true;
}

int QueryOne(const CRegArgs& a, HKEY key, std::ostream& out, std::ostream& err) {
    std::vector<std::string> lines;
    if (const LONG rc = ListValues(key, a.m_value, &lines))
        return Fail(rc, err);
    if (lines.empty() && !a.m_value->empty())
        return Fail(ERROR_FILE_NOT_FOUND, err);
    // The default value is always there; it may just never have been set.
    if (lines.empty())
        lines.push_back("    (Default)    REG_SZ    (value not set)");
    out << "\n" << Utf8(KeyDisplayName(a, a.m_strPath)) << "\n" << Utf8(lines.front()) << "\n\n";
    return 0;
}

int QueryKey(const CRegArgs& a, HKEY key, std::ostream& out, std::ostream& err) {
    std::vector<std::string> lines, subKeys;
    if (LONG rc = ListValues(key, std::nullopt, &lines); rc || (rc = ListSubKeys(key, &subKeys)))
        return Fail(rc, err);
    out << "\n" << Utf8(KeyDisplayName(a, a.m_strPath)) << "\n";
    for (const std::string& line : lines)
        out << Utf8(line) << "\n";
    if (!lines.empty())
        out << "\n";
    for (const std::string& sub : subKeys)
        out << Utf8(KeyDisplayName(a, a.m_strPath.empty() ? sub : a.m_strPath + "\\" + sub))
            << "\n";
    return 0;
}

// /s: the key and everything below it, depth first; with /v or /ve only the
// keys that hold that value. Walked with a list instead of recursion, so a
// very deep tree can't exhaust the stack.
int QueryTree(const CRegArgs& a, std::ostream& out, std::ostream& err) {
    std::vector<std::string> pending{a.m_strPath};
    std::size_t matches = 0;
    while (!pending.empty()) {
        const std::string path = pending.back();
        pending.pop_back();
        HKEY key = nullptr;
        if (const LONG rc = RegOpenKeyEx(a.m_hRoot, path.c_str(), &key)) {
            if (rc == ERROR_FILE_NOT_FOUND)
                continue;  // deleted while we looked
            return Fail(rc, err);
        }
        std::vector<std::string> lines, subKeys;
        LONG rc = ListValues(key, a.m_value, &lines);
        if (rc == ERROR_SUCCESS)
            rc = ListSubKeys(key, &subKeys);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return Fail(rc, err);
        if (!a.m_value || !lines.empty()) {
            out << "\n" << Utf8(KeyDisplayName(a, path)) << "\n";
            for (const std::string& line : lines)
                out << Utf8(line) << "\n";
        }
        matches += lines.size();
        for (auto it = subKeys.rbegin(); it != subKeys.rend(); ++it)
            pending.push_back(path.empty() ? *it : path + "\\" + *it);
    }
    if (!a.m_value)
        return 0;
    out << "\nEnd of search: " << matches << " match(es) found.\n";
    return matches ? 0 : 1;
}

int Query(const CRegArgs& a, std::ostream& out, std::ostream& err) {
    if (a.m_bRecurse)
        return QueryTree(a, out, err);
    HKEY key = nullptr;
    if (const LONG rc = RegOpenKeyEx(a.m_hRoot, a.m_strPath.c_str(), &key))
        return Fail(rc, err);
    const int status = a.m_value ? QueryOne(a, key, out, err) : QueryKey(a, key, out, err);
    RegCloseKey(key);
    return status;
}

int Add(const CRegArgs& a, std::ostream& out, std::ostream& err, std::istream& in) {
    DWORD type = REG_SZ;
    if (a.m_type && *a.m_type == "REG_DWORD") {
        type = REG_DWORD;
    } else if (a.m_type && *a.m_type != "REG_SZ") {
        err << "ERROR: Invalid type " << Utf8(*a.m_type) << " (REG_SZ or REG_DWORD).\n";
        return 1;
    }
    std::string bytes = a.m_data.value_or("");
    if (type == REG_DWORD) {
        DWORD number = 0;
        if (a.m_data && !ParseDword(*a.m_data, &number)) {
            err << "ERROR: Invalid number " << Utf8(*a.m_data)
                << " (decimal or 0x hexadecimal, at most 0xffffffff).\n";
            return 1;
        }
        bytes.clear();
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((number >> (8 * i)) & 0xff);
    }
    // /t or /d without /v sets the default value, as reg.exe does.
    std::optional<std::string> name = a.m_value;
    if (!name && (a.m_type || a.m_data))
        name = "";

    HKEY key = nullptr;
    if (const LONG rc = RegCreateKeyEx(a.m_hRoot, a.m_strPath.c_str(), &key))
        return Fail(rc, err);
    LONG rc = ERROR_SUCCESS;
    if (name) {
        if (!a.m_bForce && ValueExists(key, *name) &&
            !Confirm("Value " + ValueDisplayName(*name) + " exists, overwrite", out, in)) {
            RegCloseKey(key);
            return Cancelled(out);
        }
        const DWORD size = static_cast<DWORD>(bytes.size() + (type == REG_SZ ? 1 : 0));
        rc = RegSetValueEx(key, name->c_str(), type, reinterpret_cast<const BYTE*>(bytes.c_str()),
                           size);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Fail(rc, err);
    out << "The operation completed successfully.\n";
    return 0;
}

int Delete(const CRegArgs& a, std::ostream& out, std::ostream& err, std::istream& in) {
    if (!a.m_value && a.m_strPath.empty()) {
        err << "ERROR: Invalid key name. A whole root can't be deleted.\n";
        return 1;
    }
    HKEY key = nullptr;
    if (const LONG rc = RegOpenKeyEx(a.m_hRoot, a.m_strPath.c_str(), &key))
        return Fail(rc, err);
    LONG rc = ERROR_SUCCESS;
    if (a.m_value) {
        if (!a.m_bForce &&
            !Confirm("Delete the registry value " + ValueDisplayName(*a.m_value), out, in)) {
            RegCloseKey(key);
            return Cancelled(out);
        }
        rc = RegDeleteValue(key, a.m_value->c_str());
    } else {
        if (!a.m_bForce &&
            !Confirm("Permanently delete the registry key " + KeyDisplayName(a, a.m_strPath), out,
                     in)) {
            RegCloseKey(key);
            return Cancelled(out);
        }
        rc = RegDeleteTree(a.m_hRoot, a.m_strPath.c_str());
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Fail(rc, err);
    out << "The operation completed successfully.\n";
    return 0;
}

}  // namespace

int RunRegCommand(const CRegArgs& args, std::ostream& out, std::ostream& err, std::istream& in) {
    switch (args.m_operation) {
        case ERegOperation::kQuery:
            return Query(args, out, err);
        case ERegOperation::kAdd:
            return Add(args, out, err, in);
        case ERegOperation::kDelete:
            return Delete(args, out, err, in);
    }
    return 1;
}
