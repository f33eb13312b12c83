// The user accounts of a served folder, in DIR/users.txt, one a line:
//
//   NAME pbkdf2-sha256 ITERATIONS SALT HASH
//
// NAME is the GBK user name percent-escaped (url_escapes.h), SALT and HASH
// are hexadecimal. Lines starting with '#' are comments. The file never
// holds a password.
//
// A folder without users.txt is public: every request is served without
// credentials, so a publisher can serve to anyone. Once users.txt exists,
// the query and the archives need a user name and password that match one
// of its accounts; with no account left in it, nobody gets in (removing the
// last account never opens the folder by surprise; deleting the file does).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/httpd/http_server.h"
#include "tools/update-server/password_hash.h"

// Most iterations an accounts line may ask for: a damaged line must not make
// each login take minutes.
constexpr unsigned kMaxPasswordIterations = 10000000;

struct CUserRecord {
    std::string name;  // GBK bytes
    CPasswordHash hash;
};

// One line of users.txt (no line end). False for a comment or a malformed
// line.
bool ParseUserLine(std::string_view line, CUserRecord* record);
std::string ComposeUserLine(const CUserRecord& record);
// The whole file; the lines are checked by the caller.
std::string ComposeUsersFile(const std::vector<CUserRecord>& records);

// Why name cannot be a user name (English), or empty when it can: empty, a
// control character, a ':' (Basic credentials end the name at the first
// colon), not valid GBK.
std::string UserNameProblem(std::string_view gbk);

enum class EAccess {
    kGranted,          // public folder, or a matching account
    kNeedCredentials,  // accounts exist and the request carries none
    kRefused,          // no account matches, or the accounts cannot be read
};

// The server's view of the accounts: reads users.txt again whenever it
// changes, so accounts added while serving count at once. A checked password
// is remembered as a keyed digest (the key lives only in this process), so
// the slow hash runs once per user and password, not per request. Safe to
// call from several threads.
class CUserAccounts {
public:
    using Warn = std::function<void(const std::string& utf8)>;
    CUserAccounts(std::string usersFileUtf8, Warn warn);

    EAccess Check(const std::optional<CCredentials>& credentials);
    // True when the folder is served to anyone (see above).
    bool IsPublic();

private:
    enum class EState { kPublic, kAccounts, kUnreadable };
    struct CFileStamp {
        bool exists = false;
        std::uint64_t size = 0;
        std::int64_t time = 0;
        bool operator==(const CFileStamp&) const = default;
    };
    CFileStamp Stamp() const;
    // Reloads when the file changed; m_mutex held.
    void Refresh();

    std::string m_strFile;
    Warn m_warn;
    std::mutex m_mutex;
    bool m_bLoaded = false;
    CFileStamp m_stamp;
    EState m_state = EState::kPublic;
    std::map<std::string, CUserRecord> m_users;
    // name -> digest of the last password that matched, under m_strCacheKey.
    std::map<std::string, std::string> m_checked;
    std::string m_strCacheKey;
    // Checked for unknown names too, so a refusal takes as long either way.
    CPasswordHash m_decoy;
};
