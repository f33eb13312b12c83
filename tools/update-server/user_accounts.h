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

#include "platform/serverio/server_files.h"
#include "tools/update-server/http_server.h"
#include "tools/update-server/login_throttle.h"
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
    kThrottled,        // too many failed logins: refused without checking
};

// A login the slow hash has to decide (CUserAccounts::Finish).
struct CLoginTicket {
    std::string user;
    std::string password;
    std::string address;
    bool known = false;  // an account of that name exists
    CPasswordHash stored;
    std::string digest;  // what a match is remembered as
};

struct CAccessCheck {
    EAccess access = EAccess::kRefused;
    bool publicFolder = false;           // granted because the folder is public
    unsigned retryAfterSeconds = 0;      // kThrottled
    std::optional<CLoginTicket> ticket;  // set: Finish decides
};

// The server's view of the accounts: reads users.txt again whenever it
// changes, so accounts added while serving count at once. A checked password
// is remembered as a keyed digest (the key lives only in this process), so
// the slow hash runs once per user and password, not per request; a digest
// stays valid while the account's line stays the same. Failed logins are
// counted per name and per address (login_throttle.h): a remembered login
// still gets in during a block, everything else is refused at once. Safe to
// call from several threads.
class CUserAccounts {
public:
    using Warn = std::function<void(const std::string& utf8)>;
    using Clock = std::function<std::int64_t()>;  // milliseconds, steady
    CUserAccounts(std::string usersFileUtf8, Warn warn, Clock nowMs = nullptr);

    // What can be decided without the slow hash.
    CAccessCheck Begin(const std::optional<CCredentials>& credentials,
                       const std::string& address = "");
    // Runs the slow hash for ticket and remembers the outcome.
    EAccess Finish(const CLoginTicket& ticket);
    // Both at once, on the calling thread.
    EAccess Check(const std::optional<CCredentials>& credentials, const std::string& address = "");
    // True when the folder is served to anyone (see above).
    bool IsPublic();

private:
    enum class EState { kPublic, kAccounts, kUnreadable };
    struct CStamp {
        bool exists = false;
        CFileStamp file;
        bool operator==(const CStamp&) const = default;
    };
    // Reloads when the file changed; m_mutex held.
    void Refresh();
    void Parse(const std::string& all);

    std::string m_strFile;
    Warn m_warn;
    Clock m_now;
    std::mutex m_mutex;
    bool m_bLoaded = false;
    CStamp m_stamp;
    std::string m_strContent;  // as last read
    EState m_state = EState::kPublic;
    std::map<std::string, CUserRecord> m_users;
    // name -> digest of the last password that matched, under m_strCacheKey.
    std::map<std::string, std::string> m_checked;
    std::string m_strCacheKey;
    // Checked for unknown names too, so a refusal takes as long either way.
    CPasswordHash m_decoy;
    CLoginThrottle m_names;
    CLoginThrottle m_addresses;
};
