// The update server's side of an update as text: the query the worker sends,
// the answer it reads (login refused, no update, or a list of packages), the
// package fields and the offer. Pure functions, so that every rule can be
// tried without a server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// At most this many packages are taken from one answer; the newer ones of a
// longer list are offered by the next update, which starts from the version
// recorded after these.
constexpr std::size_t kMaxPackages = 100;

// An answer longer than this is not read further (a server that never ends
// its answer must not exhaust memory); what was read is used.
constexpr std::size_t kMaxAnswerBytes = 16u << 20;

// "/rdcenter/newweb/sql.asp?fileid=...&versnumber=...&userid=..." with each
// value percent-encoded (a blank or "&" in a user name would otherwise break
// the request line or add a parameter; the server decodes them to the same
// GBK bytes). An empty version is sent as "0".
std::string ComposeQueryPath(const std::string& fileName, const std::string& versNumber,
                             const std::string& userName);

// The request path of a package archive: "/rdcenter/newweb/" + the server
// path, each byte that cannot stand in a URL path percent-encoded ("/" and
// the server's own escapes "%XX" kept).
std::string ComposePackagePath(const std::string& serverPath);

// Appends one read's bytes to the answer as the system reads them: as a
// zero-terminated string, so a zero byte ends that read's text.
void AppendAnswerChunk(std::string* answer, const char* data, std::size_t count);

enum class AnswerKind {
    LoginRefused,  // holds "权限" anywhere
    NoUpdate,      // holds no "&"
    UpdateList,
};
AnswerKind ClassifyAnswer(const std::string& answer);

// The answer's fields, as the list is cut out and split from the right: the
// text from the first "&" up to the first "</body>" after it (no list
// without "</body>"); entry 0 is the LAST field. Empty fields are kept, so
// that CountFields can stop at them.
std::vector<std::string> SplitAnswerFields(const std::string& answer);

// The number of fields to apply: the non-empty entries from entry 0 upward,
// up to the first empty one.
std::size_t CountFields(const std::vector<std::string>& fields);

// One package of an update.
struct PackageEntry {
    std::string serverPath;  // below /rdcenter/newweb/, ending in ".rar"
    std::string size;        // the size text, decimal bytes
    std::string code;        // YYMMDDNN
};

// The split of the first n fields (entry n-1 is the oldest) into packages,
// in answer order (oldest first). False when a field holds no ".rar" (case
// matters) or its first eight characters are not a package code. When n exceeds kMaxPackages, only
// the kMaxPackages oldest are taken. *totalSize is the sum of the sizes' leading numbers, in 64
// bits.
bool ParsePackages(const std::vector<std::string>& fields, std::size_t n,
                   std::vector<PackageEntry>* packages, std::int64_t* totalSize);

// The leading decimal number of a size text (0 without a leading digit),
// held to what 64 bits can count.
std::int64_t SizeOf(std::string_view sizeText);

// The offer's text: the size in KB and the time at 28 kbps, in 64 bits.
std::string OfferText(std::int64_t totalSize);

// The percentage of a package received, 0 for a size of 0 or without digits
// (never a division by zero), in 64 bits.
int DownloadPercent(std::int64_t received, std::int64_t size);

// The local name of a package's archive: the server path after its last "/".
// Empty when that name cannot safely name a file in the temp folder (empty,
// "." or "..", a backslash, a drive colon, a control character).
std::string SafeLocalArchiveName(const std::string& serverPath);
