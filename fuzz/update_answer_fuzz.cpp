// The update server's answer as the update worker reads it: the kind of
// answer, the list cut out and split from the right, the field count, the
// package split with its sizes and the offer, the local names of the
// archives and the download percentage.
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "corvane/update_answer.h"
#include "fuzz/fuzz_env.h"
#include "platform/text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // Read in 1023-byte reads: each read's text ends at its first zero byte.
    std::string answer;
    for (std::size_t at = 0; at < input.size(); at += 1023) {
        const std::string_view read = std::string_view(input).substr(at, 1023);
        const std::size_t before = answer.size();
        AppendAnswerChunk(&answer, read.data(), read.size());
        const std::string_view added = std::string_view(answer).substr(before);
        FUZZ_CHECK(added == read.substr(0, read.find('\0')));
    }

    const AnswerKind kind = ClassifyAnswer(answer);
    const bool refused = answer.find("权限") != std::string::npos;
    FUZZ_CHECK((kind == AnswerKind::LoginRefused) == refused);
    FUZZ_CHECK(refused ||
               (kind == AnswerKind::NoUpdate) == (answer.find('&') == std::string::npos));

    const std::vector<std::string> fields = SplitAnswerFields(answer);
    // The fields put back together, oldest first, are the list between the
    // first "&" and the "</body>" after it.
    std::string joined;
    for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
        FUZZ_CHECK(it->find('&') == std::string::npos);
        joined += "&" + *it;
    }
    if (!fields.empty()) {
        const std::size_t amp = answer.find('&');
        FUZZ_CHECK(answer.compare(amp, joined.size(), joined) == 0);
        FUZZ_CHECK(answer.compare(amp + joined.size(), 7, "</body>") == 0);
    }

    const std::size_t n = CountFields(fields);
    FUZZ_CHECK(n <= fields.size());
    for (std::size_t i = 0; i < n; ++i)
        FUZZ_CHECK(!fields[i].empty());
    FUZZ_CHECK(n == fields.size() || fields[n].empty());

    std::vector<PackageEntry> packages;
    std::int64_t total = -1;
    if (ParsePackages(fields, n, &packages, &total)) {
        FUZZ_CHECK(packages.size() == std::min(n, kMaxPackages));
        std::int64_t sum = 0;
        for (const PackageEntry& p : packages) {
            FUZZ_CHECK(p.code.size() <= 8);
            const std::int64_t s = SizeOf(p.size);
            FUZZ_CHECK(s >= 0);
            sum = s > INT64_MAX - sum ? INT64_MAX : sum + s;
            const std::string local = SafeLocalArchiveName(p.serverPath);
            if (!local.empty()) {
                FUZZ_CHECK(local != "." && local != "..");
                FUZZ_CHECK(local.find('/') == std::string::npos);
                FUZZ_CHECK(text::FindFirstBackslash(local) == std::string::npos);
                FUZZ_CHECK(text::IsValidGbk(local));
            }
            const std::string path = ComposePackagePath(p.serverPath);
            for (unsigned char c : path)
                FUZZ_CHECK(c > 0x20 && c < 0x7F);
        }
        FUZZ_CHECK(total == sum);
        const std::string offer = OfferText(total);
        FUZZ_CHECK(offer.find(" KB") != std::string::npos &&
                   offer.find(" 秒") != std::string::npos);
        // The seconds are at least 1 and fit their text.
        FUZZ_CHECK(offer.find("：-") == std::string::npos);
    } else {
        FUZZ_CHECK(n > 0);
    }

    // Percentages from the input's numbers: never negative, never a
    // division by zero.
    const std::int64_t a = SizeOf(input);
    const std::int64_t b = fields.empty() ? 0 : SizeOf(fields.front());
    const int percent = DownloadPercent(a, b);
    FUZZ_CHECK(percent >= 0);
    FUZZ_CHECK(b > 0 || percent == 0);
    return 0;
}
