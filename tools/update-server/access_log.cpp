#include "tools/update-server/access_log.h"

#include <cstdlib>

#include "platform/text/number.h"

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long z, long long* y, unsigned* m, unsigned* d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long long>(yoe) + era * 400 + (*m <= 2 ? 1 : 0);
}

}  // namespace

std::string LogSafe(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            out += "\\x";
            out += kDigits[c >> 4];
            out += kDigits[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out.empty() ? "-" : out;
}

std::string UtcTimeText(std::time_t when) {
    const long long t = static_cast<long long>(when);
    long long days = t / 86400;
    long long seconds = t % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    long long year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, &year, &month, &day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", year, month, day,
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string CommonLogTime(std::time_t when) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string iso = UtcTimeText(when);  // YYYY-MM-DDTHH:MM:SSZ
    const std::size_t t = iso.find('T');
    const auto month =
        text::ParseDecimal(std::string_view(iso).substr(t - 5, 2), 1, 12).value_or(1);
    return iso.substr(t - 2, 2) + "/" + kMonths[(month + 11) % 12] + "/" + iso.substr(0, t - 6) +
           ":" + iso.substr(t + 1, 8) + " +0000";
}

std::string FormatAccessLine(const CAccessRecord& record) {
    // Inside quotes a blank is kept as it is.
    auto quoted = [](std::string_view bytes) {
        std::string out;
        for (char ch : bytes) {
            const unsigned char c = static_cast<unsigned char>(ch);
            out += c == ' ' ? std::string(" ") : LogSafe(std::string_view(&ch, 1));
        }
        return "\"" + (out.empty() ? std::string("-") : out) + "\"";
    };
    std::string line = LogSafe(record.clientAddress) + " - " + LogSafe(record.user) + " [" +
                       CommonLogTime(record.when) + "] \"" + LogSafe(record.method) + " " +
                       LogSafe(record.rawUri) + " " + LogSafe(record.version) + "\" " +
                       (record.status ? std::to_string(record.status) : "-") + " " +
                       (record.bytes ? std::to_string(record.bytes) : "-") + " " +
                       quoted(record.referer) + " " + quoted(record.userAgent);
    return line;
}

void CLogWriter::Line(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}
