#include "tools/reg/reg_args.h"

#include "platform/text/text.h"

namespace {

struct CRoot {
    const char* m_short;
    const char* m_long;
    HKEY m_hKey;
};

const CRoot kRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

bool ParseKey(const std::string& key, CRegArgs* args) {
    const std::size_t slash = text::FindFirstBackslash(key);
    const std::string root = key.substr(0, slash);
    std::string path = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    if (!path.empty() && text::FindLastBackslash(path) == path.size() - 1)
        path.pop_back();
    for (const CRoot& r : kRoots) {
        if (text::EqualsNoCase(root, r.m_short) || text::EqualsNoCase(root, r.m_long)) {
            args->m_hRoot = r.m_hKey;
            args->m_strRootName = r.m_long;
            args->m_strPath = path;
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<CRegArgs> ParseRegArgs(const std::vector<std::string>& args, std::string* error) {
    *error = "ERROR: Invalid syntax.";
    if (args.size() < 2)
        return std::nullopt;
    CRegArgs result;
    const std::string op = text::AsciiLower(args[0]);
    if (op == "query") {
        result.m_operation = ERegOperation::kQuery;
    } else if (op == "add") {
        result.m_operation = ERegOperation::kAdd;
    } else if (op == "delete") {
        result.m_operation = ERegOperation::kDelete;
    } else {
        return std::nullopt;
    }
    if (!ParseKey(args[1], &result)) {
        *error = "ERROR: Invalid key name.";
        return std::nullopt;
    }

    const bool isQuery = result.m_operation == ERegOperation::kQuery;
    const bool isAdd = result.m_operation == ERegOperation::kAdd;
    bool seenS = false, seenF = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-'))
            return std::nullopt;
        const std::string option = text::AsciiLower(arg.substr(1));
        const bool hasNext = i + 1 < args.size();
        if (option == "v" || option == "ve") {
            if (result.m_value || (option == "v" && !hasNext))
                return std::nullopt;
            result.m_value = option == "v" ? args[++i] : std::string();
        } else if (option == "s" && isQuery && !seenS) {
            result.m_bRecurse = seenS = true;
        } else if (option == "f" && !isQuery && !seenF) {
            result.m_bForce = seenF = true;
        } else if (option == "t" && isAdd && !result.m_type && hasNext) {
            result.m_type = text::AsciiUpper(args[++i]);
        } else if (option == "d" && isAdd && !result.m_data && hasNext) {
            result.m_data = args[++i];
        } else {
            return std::nullopt;
        }
    }
    error->clear();
    return result;
}

std::string KeyDisplayName(const CRegArgs& args, const std::string& path) {
    return path.empty() ? args.m_strRootName : args.m_strRootName + "\\" + path;
}
