#include "tools/update-server/user_accounts.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <thread>

#include "platform/text/number.h"
#include "platform/text/text.h"
#include "tools/update-server/file_io.h"
#include "tools/update-server/url_escapes.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr std::size_t kMaxRememberedPasswords = 100000;
// Failed logins one address may have before its block: a school's students
// may share it.
constexpr unsigned kAddressFreeFailures = 20;

bool FromHex(std::string_view hex, std::string* out) {
    if (hex.size() % 2 != 0)
        return false;
    out->clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        auto [ptr, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (ec != std::errc() || ptr != hex.data() + i + 2)
            return false;
        out->push_back(static_cast<char>(value));
    }
    return true;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            parts.push_back(line.substr(start, i - start));
    }
    return parts;
}

}  // namespace

bool ParseUserLine(std::string_view line, CUserRecord* record) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const std::vector<std::string_view> parts = SplitBlanks(line);
    if (parts.size() != 5 || parts[0][0] == '#' || parts[1] != kScheme)
        return false;
    CUserRecord r;
    r.name = PercentDecode(parts[0]);
    const std::optional<std::int64_t> iterations =
        text::ParseDecimal(parts[2], 1, kMaxPasswordIterations);
    if (!iterations)
        return false;
    r.hash.iterations = static_cast<decltype(r.hash.iterations)>(*iterations);
    if (!FromHex(parts[3], &r.hash.salt) || r.hash.salt.empty() ||
        !FromHex(parts[4], &r.hash.hash) || r.hash.hash.size() != kHashBytes)
        return false;
    if (!UserNameProblem(r.name).empty())
        return false;
    *record = std::move(r);
    return true;
}

std::string ComposeUserLine(const CUserRecord& record) {
    return PercentEncodeName(record.name) + " " + std::string(kScheme) + " " +
           std::to_string(record.hash.iterations) + " " + ToHex(record.hash.salt) + " " +
           ToHex(record.hash.hash);
}

std::string ComposeUsersFile(const std::vector<CUserRecord>& records) {
    std::string out =
        "# telvora-update-server accounts: NAME pbkdf2-sha256 ITERATIONS SALT HASH\n"
        "# (the name percent-escaped, salt and hash hexadecimal; no passwords)\n";
    for (const CUserRecord& r : records)
        out += ComposeUserLine(r) + "\n";
    return out;
}

std::string UserNameProblem(std::string_view gbk) {
    if (gbk.empty())
        return "is empty";
    if (!text::IsValidGbk(gbk))
        return "is not valid GBK text";
    for (std::size_t i = 0; i < gbk.size(); i += text::CharLength(gbk, i)) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x20 || c == 0x7F)
            return "contains a control character";
        if (c == ':')
            return "contains ':', which Basic credentials cannot carry in a user name";
    }
    return "";
}

CUserAccounts::CUserAccounts(std::string usersFileUtf8, Warn warn, Clock nowMs)
    : m_strFile(std::move(usersFileUtf8)),
      m_warn(std::move(warn)),
      m_now(std::move(nowMs)),
      m_names(CLoginThrottle::CLimits{}),
      m_addresses(CLoginThrottle::CLimits{kAddressFreeFailures}) {
    if (!m_now) {
        m_now = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
    // Without a working generator the remembered digests would be guessable;
    // the server then simply checks every time.
    if (!RandomBytes(32, &m_strCacheKey))
        m_strCacheKey.clear();
    std::string decoyPassword;
    RandomBytes(16, &decoyPassword);
    if (!MakePasswordHash(decoyPassword, kPasswordIterations, &m_decoy))
        m_decoy = CPasswordHash();
}

void CUserAccounts::Refresh() {
    CStamp stamp;
    stamp.exists = StampFile(m_strFile, &stamp.file);
    // A file changed within the last seconds is read again anyway: a change
    // of the same size inside the file system's time granularity would
    // otherwise go unseen. Only a changed text is taken in again, so what
    // was checked stays remembered.
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    if (m_bLoaded && stamp == m_stamp && now - stamp.file.modifiedNanoseconds > 2000000000LL)
        return;
    const bool first = !m_bLoaded;
    m_bLoaded = true;
    m_stamp = stamp;
    if (!stamp.exists) {
        m_users.clear();
        m_strContent.clear();
        m_state = EState::kPublic;
        return;
    }
    std::string all;
    if (!ReadWholeFile(m_strFile, &all)) {
        m_users.clear();
        m_strContent.clear();
        if (m_state != EState::kUnreadable && m_warn)
            m_warn(m_strFile + " cannot be read: every request that needs an account is refused");
        m_state = EState::kUnreadable;
        return;
    }
    if (!first && m_state == EState::kAccounts && all == m_strContent)
        return;
    m_strContent = all;
    Parse(all);
}

void CUserAccounts::Parse(const std::string& all) {
    m_users.clear();
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        const std::string line = text::Trim(std::string_view(all).substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        CUserRecord record;
        if (!ParseUserLine(line, &record)) {
            if (m_warn)
                m_warn(m_strFile + ": line " + std::to_string(lineNumber) +
                       " is not an account line and is ignored");
            continue;
        }
        m_users[record.name] = std::move(record);
    }
    // A digest names its account's line: one of a removed account goes.
    for (auto it = m_checked.begin(); it != m_checked.end();)
        it = m_users.count(it->first) ? std::next(it) : m_checked.erase(it);
    // The file's presence closes the folder, with or without usable lines.
    m_state = EState::kAccounts;
}

bool CUserAccounts::IsPublic() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Refresh();
    return m_state == EState::kPublic;
}

CAccessCheck CUserAccounts::Begin(const std::optional<CCredentials>& credentials,
                                  const std::string& address) {
    CAccessCheck check;
    std::lock_guard<std::mutex> lock(m_mutex);
    Refresh();
    if (m_state == EState::kPublic) {
        check.access = EAccess::kGranted;
        check.publicFolder = true;
        return check;
    }
    if (!credentials) {
        check.access = EAccess::kNeedCredentials;
        return check;
    }
    if (m_state == EState::kUnreadable) {
        check.access = EAccess::kRefused;
        return check;
    }
    CLoginTicket ticket;
    ticket.user = credentials->user;
    ticket.password = credentials->password;
    ticket.address = address;
    auto it = m_users.find(credentials->user);
    if (it != m_users.end()) {
        ticket.known = true;
        ticket.stored = it->second.hash;
        if (!m_strCacheKey.empty()) {
            ticket.digest =
                KeyedDigest(m_strCacheKey, ComposeUserLine(it->second) + std::string(1, '\0') +
                                               credentials->password);
            auto seen = m_checked.find(credentials->user);
            if (!ticket.digest.empty() && seen != m_checked.end() &&
                SameBytes(seen->second, ticket.digest)) {
                check.access = EAccess::kGranted;
                return check;
            }
        }
    }
    const std::int64_t now = m_now();
    const std::int64_t blocked =
        std::max(m_names.BlockedFor("n:" + ticket.user, now),
                 address.empty() ? 0 : m_addresses.BlockedFor(address, now));
    if (blocked > 0) {
        check.access = EAccess::kThrottled;
        check.retryAfterSeconds = static_cast<unsigned>((blocked + 999) / 1000);
        return check;
    }
    check.ticket = std::move(ticket);
    return check;
}

EAccess CUserAccounts::Finish(const CLoginTicket& ticket) {
    // The slow hash runs without the lock, so other requests go on meanwhile.
    const bool match = ticket.known ? PasswordMatches(ticket.password, ticket.stored)
                                    : (PasswordMatches(ticket.password, m_decoy), false);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (match) {
        m_names.Succeeded("n:" + ticket.user);
        if (!ticket.digest.empty()) {
            if (m_checked.size() >= kMaxRememberedPasswords)
                m_checked.clear();
            m_checked[ticket.user] = ticket.digest;
        }
        return EAccess::kGranted;
    }
    const std::int64_t now = m_now();
    const std::int64_t byName = m_names.Failed("n:" + ticket.user, now);
    const std::int64_t byAddress =
        ticket.address.empty() ? 0 : m_addresses.Failed(ticket.address, now);
    if ((byName > 0 || byAddress > 0) && m_warn) {
        const std::string who = byName >= byAddress
                                    ? "the name \"" + text::GbkToUtf8(ticket.user) + "\""
                                    : "the address " + ticket.address;
        m_warn("login: repeated failures for " + who +
               "; its logins are refused without checking for " +
               std::to_string((std::max(byName, byAddress) + 999) / 1000) + " s");
    }
    return EAccess::kRefused;
}

EAccess CUserAccounts::Check(const std::optional<CCredentials>& credentials,
                             const std::string& address) {
    CAccessCheck check = Begin(credentials, address);
    return check.ticket ? Finish(*check.ticket) : check.access;
}
