#include "tools/update-server/file_answer.h"

#include <cstdio>
#include <vector>

#include "platform/text/number.h"

namespace {

constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2 ? 1 : 0);
}

bool Number(std::string_view text, std::int64_t* value) {
    const std::optional<std::int64_t> n = text::ParseDecimal(text, 0, INT64_MAX);
    if (n)
        *value = *n;
    return n.has_value();
}

int MonthIndex(std::string_view name) {
    for (int i = 0; i < 12; ++i)
        if (name == kMonths[i])
            return i + 1;
    return 0;
}

// "08:49:37"
bool ClockTime(std::string_view text, std::int64_t* seconds) {
    std::int64_t h = 0, m = 0, s = 0;
    if (text.size() != 8 || text[2] != ':' || text[5] != ':' || !Number(text.substr(0, 2), &h) ||
        !Number(text.substr(3, 2), &m) || !Number(text.substr(6, 2), &s) || h > 23 || m > 59 ||
        s > 60)
        return false;
    *seconds = h * 3600 + m * 60 + s;
    return true;
}

std::vector<std::string_view> Words(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = text.find_first_not_of(separators, i);
        if (start == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos)
            end = text.size();
        words.push_back(text.substr(start, end - start));
        i = end;
    }
    return words;
}

bool Compose(std::int64_t year, int month, std::int64_t day, std::string_view clock,
             std::int64_t* seconds) {
    std::int64_t time = 0;
    if (month == 0 || day < 1 || day > 31 || year < 1970 || year > 9999 || !ClockTime(clock, &time))
        return false;
    *seconds =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        time;
    return true;
}

// Whether the If-None-Match list names tag (weak comparison, as for GET).
bool TagListMatches(std::string_view list, const std::string& tag) {
    const std::string_view opaque = std::string_view(tag);
    for (std::string_view item : Words(list, ", \t")) {
        if (item == "*")
            return true;
        if (item.substr(0, 2) == "W/")
            item.remove_prefix(2);
        if (item == opaque)
            return true;
    }
    return false;
}

enum class ERange { kNone, kOne, kUnsatisfiable };

// One "bytes=" range of a file of size bytes; several ranges, or anything
// malformed, count as none (the whole file is sent).
ERange ParseRange(std::string_view header, std::uint64_t size, std::uint64_t* first,
                  std::uint64_t* last) {
    constexpr std::string_view kUnit = "bytes=";
    if (header.substr(0, kUnit.size()) != kUnit)
        return ERange::kNone;
    std::string_view spec = header.substr(kUnit.size());
    while (!spec.empty() && (spec.front() == ' ' || spec.front() == '\t'))
        spec.remove_prefix(1);
    while (!spec.empty() && (spec.back() == ' ' || spec.back() == '\t'))
        spec.remove_suffix(1);
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos)
        return ERange::kNone;
    const std::string_view a = spec.substr(0, dash);
    const std::string_view b = spec.substr(dash + 1);
    std::uint64_t from = 0, to = 0;
    auto parse = [](std::string_view t, std::uint64_t* v) {
        const std::optional<std::int64_t> n = text::ParseDecimal(t, 0, INT64_MAX);
        if (n)
            *v = static_cast<std::uint64_t>(*n);
        return n.has_value();
    };
    if (a.empty()) {
        // The last b bytes.
        if (!parse(b, &to))
            return ERange::kNone;
        if (to == 0 || size == 0)
            return ERange::kUnsatisfiable;
        *first = to >= size ? 0 : size - to;
        *last = size - 1;
        return ERange::kOne;
    }
    if (!parse(a, &from) || (!b.empty() && (!parse(b, &to) || to < from)))
        return ERange::kNone;
    if (from >= size)
        return ERange::kUnsatisfiable;
    *first = from;
    *last = b.empty() || to >= size ? size - 1 : to;
    return ERange::kOne;
}

}  // namespace

std::string HttpDate(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, &year, &month, &day);
    const int weekday = static_cast<int>(((days % 7) + 7) % 7);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02u %s %04lld %02lld:%02lld:%02lld GMT", kDays[weekday],
                  day, kMonths[month - 1], static_cast<long long>(year),
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return text;
}

bool ParseHttpDate(std::string_view text, std::int64_t* seconds) {
    const std::vector<std::string_view> w = Words(text, " \t");
    std::int64_t day = 0, year = 0;
    // IMF-fixdate: Sun, 06 Nov 1994 08:49:37 GMT
    if (w.size() == 6 && w[0].size() == 4 && w[0].back() == ',' && w[5] == "GMT" &&
        Number(w[1], &day) && Number(w[3], &year) && w[3].size() == 4)
        return Compose(year, MonthIndex(w[2]), day, w[4], seconds);
    // RFC 850: Sunday, 06-Nov-94 08:49:37 GMT
    if (w.size() == 4 && w[0].back() == ',' && w[3] == "GMT" && w[1].size() == 9 &&
        w[1][2] == '-' && w[1][6] == '-' && Number(w[1].substr(0, 2), &day) &&
        Number(w[1].substr(7, 2), &year))
        return Compose(year < 70 ? 2000 + year : 1900 + year, MonthIndex(w[1].substr(3, 3)), day,
                       w[2], seconds);
    // asctime: Sun Nov  6 08:49:37 1994
    if (w.size() == 5 && Number(w[2], &day) && Number(w[4], &year) && w[4].size() == 4)
        return Compose(year, MonthIndex(w[1]), day, w[3], seconds);
    return false;
}

std::string EntityTag(const CServedFile& file) {
    char text[80];
    std::snprintf(text, sizeof text, "\"%llx-%llx%08llx\"",
                  static_cast<unsigned long long>(file.size),
                  static_cast<unsigned long long>(file.modifiedSeconds),
                  static_cast<unsigned long long>(file.modifiedNanoseconds));
    return text;
}

CHttpResponse FileResponse(const CHttpRequest& request, std::shared_ptr<CServedFile> file,
                           const std::string& contentType, const std::string& cacheControl) {
    CHttpResponse r;
    r.contentType = contentType;
    const std::string tag = EntityTag(*file);
    r.headers.emplace_back("ETag", tag);
    r.headers.emplace_back("Last-Modified", HttpDate(file->modifiedSeconds));
    if (!cacheControl.empty())
        r.headers.emplace_back("Cache-Control", cacheControl);
    // The client's copy is current: If-None-Match decides when sent, else
    // If-Modified-Since.
    std::int64_t since = 0;
    const bool current =
        !request.ifNoneMatch.empty()
            ? TagListMatches(request.ifNoneMatch, tag)
            : ParseHttpDate(request.ifModifiedSince, &since) && file->modifiedSeconds <= since;
    if (current) {
        r.status = 304;
        r.contentType.clear();
        return r;
    }
    r.headers.emplace_back("Accept-Ranges", "bytes");
    // A range counts only while the client's copy is this one (If-Range).
    std::int64_t rangeDate = 0;
    const bool rangeValid =
        request.ifRange.empty() || request.ifRange == tag ||
        (ParseHttpDate(request.ifRange, &rangeDate) && rangeDate >= file->modifiedSeconds);
    std::uint64_t first = 0, last = 0;
    const ERange range = rangeValid && !request.range.empty()
                             ? ParseRange(request.range, file->size, &first, &last)
                             : ERange::kNone;
    if (range == ERange::kUnsatisfiable) {
        r.status = 416;
        r.contentType = "text/plain";
        r.body = "416 the range lies past the end of the file\n";
        r.headers.emplace_back("Content-Range", "bytes */" + std::to_string(file->size));
        return r;
    }
    r.file = std::move(file);
    if (range == ERange::kOne) {
        r.status = 206;
        r.fileOffset = first;
        r.fileLength = last - first + 1;
        r.headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                    std::to_string(last) + "/" +
                                                    std::to_string(r.file->size));
    } else {
        r.status = 200;
        r.fileOffset = 0;
        r.fileLength = r.file->size;
    }
    return r;
}
