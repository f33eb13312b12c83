#include "tools/update-server/user_accounts.h"

#include <charconv>
#include <filesystem>

#include "platform/text/text.h"
#include "tools/update-server/file_io.h"
#include "tools/update-server/url_escapes.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kScheme = "pbkdf2-sha256";
constexpr std::size_t kMaxRememberedPasswords = 10000;

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
    auto [ptr, ec] =
        std::from_chars(parts[2].data(), parts[2].data() + parts[2].size(), r.hash.iterations);
    if (ec != std::errc() || ptr != parts[2].data() + parts[2].size() || r.hash.iterations == 0 ||
        r.hash.iterations > kMaxPasswordIterations)
        return false;
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

CUserAccounts::CUserAccounts(std::string usersFileUtf8, Warn warn)
    : m_strFile(std::move(usersFileUtf8)), m_warn(std::move(warn)) {
    // Without a working generator the remembered digests would be guessable;
    // the server then simply checks every time.
    if (!RandomBytes(32, &m_strCacheKey))
        m_strCacheKey.clear();
    std::string decoyPassword;
    RandomBytes(16, &decoyPassword);
    if (!MakePasswordHash(decoyPassword, kPasswordIterations, &m_decoy))
        m_decoy = CPasswordHash();
}

CUserAccounts::CFileStamp CUserAccounts::Stamp() const {
    CFileStamp stamp;
    std::error_code ec;
    const fs::file_status st = fs::status(m_strFile, ec);
    if (ec || !fs::exists(st))
        return stamp;
    stamp.exists = true;
    stamp.size = fs::is_regular_file(st) ? fs::file_size(m_strFile, ec) : 0;
    stamp.time = fs::last_write_time(m_strFile, ec).time_since_epoch().count();
    return stamp;
}

void CUserAccounts::Refresh() {
    const CFileStamp stamp = Stamp();
    // A file changed within the last seconds is read again anyway: a change
    // of the same size inside the file system's time granularity would
    // otherwise go unseen.
    const std::int64_t now = fs::file_time_type::clock::now().time_since_epoch().count();
    const std::int64_t recent =
        std::chrono::duration_cast<fs::file_time_type::duration>(std::chrono::seconds(2)).count();
    if (m_bLoaded && stamp == m_stamp && now - stamp.time > recent)
        return;
    m_bLoaded = true;
    m_stamp = stamp;
    m_users.clear();
    m_checked.clear();
    if (!stamp.exists) {
        m_state = EState::kPublic;
        return;
    }
    std::string all;
    if (!ReadWholeFile(m_strFile, &all)) {
        m_state = EState::kUnreadable;
        if (m_warn)
            m_warn(m_strFile + " cannot be read: every request that needs an account is refused");
        return;
    }
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
    // The file's presence closes the folder, with or without usable lines.
    m_state = EState::kAccounts;
}

bool CUserAccounts::IsPublic() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Refresh();
    return m_state == EState::kPublic;
}

EAccess CUserAccounts::Check(const std::optional<CCredentials>& credentials) {
    CPasswordHash stored;
    std::string digest;
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Refresh();
        if (m_state == EState::kPublic)
            return EAccess::kGranted;
        if (!credentials)
            return EAccess::kNeedCredentials;
        if (m_state == EState::kUnreadable)
            return EAccess::kRefused;
        auto it = m_users.find(credentials->user);
        if (it != m_users.end()) {
            known = true;
            stored = it->second.hash;
            if (!m_strCacheKey.empty()) {
                digest =
                    KeyedDigest(m_strCacheKey, ComposeUserLine(it->second) + std::string(1, '\0') +
                                                   credentials->password);
                auto seen = m_checked.find(credentials->user);
                if (!digest.empty() && seen != m_checked.end() && SameBytes(seen->second, digest))
                    return EAccess::kGranted;
            }
        }
    }
    // The slow hash runs without the lock, so other requests go on meanwhile.
    if (!known) {
        PasswordMatches(credentials->password, m_decoy);
        return EAccess::kRefused;
    }
    if (!PasswordMatches(credentials->password, stored))
        return EAccess::kRefused;
    if (!digest.empty()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_checked.size() >= kMaxRememberedPasswords)
            m_checked.clear();
        m_checked[credentials->user] = digest;
    }
    return EAccess::kGranted;
}
