// The command line of telvora-reg, in the syntax of Windows' reg.exe:
//   query  KEY [/ve | /v NAME] [/s]
//   add    KEY [/ve | /v NAME] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]
//   delete KEY [/ve | /v NAME] [/f]
// All text here is GBK (the arguments are converted on the way in).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

enum class ERegOperation { kQuery, kAdd, kDelete };

struct CRegArgs {
    ERegOperation m_operation = ERegOperation::kQuery;
    HKEY m_hRoot = HKEY_CURRENT_USER;
    std::string m_strRootName;           // long form, as printed: HKEY_CURRENT_USER
    std::string m_strPath;               // below the root, without a trailing backslash
    std::optional<std::string> m_value;  // "" for /ve; none: the key itself
    bool m_bRecurse = false;             // /s
    bool m_bForce = false;               // /f
    std::optional<std::string> m_type;   // /t
    std::optional<std::string> m_data;   // /d
};

// Parses args (without the program name). On a mistake returns nothing and
// sets error to the message to show.
std::optional<CRegArgs> ParseRegArgs(const std::vector<std::string>& args, std::string* error);

// The full key path as printed: HKEY_CURRENT_USER\Software\...
std::string KeyDisplayName(const CRegArgs& args, const std::string& path);
