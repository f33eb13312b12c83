// The server's log: one line a request on standard error, after the
// listening line on standard output. A line holds the time (UTC), the
// client's address, the method, the request target as received, the status
// and the body bytes sent, and "incomplete" when the answer did not go out
// whole:
//
//   2024-05-01T08:30:00Z 127.0.0.1 GET /rdcenter/newweb/sql.asp?fileid=math 200 412
//
// Bytes that could upset a terminal or a log reader (controls, blanks,
// quotes, backslashes, bytes above 0x7E such as raw GBK) are written as
// \xNN. Credentials never appear: the Authorization header is not logged.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/httpd/http_server.h"

std::string LogSafe(std::string_view bytes);
// "YYYY-MM-DDTHH:MM:SSZ"
std::string UtcTimeText(std::time_t when);
std::string FormatAccessLine(const CAccessRecord& record);

// Writes whole lines to one stream from any thread.
class CLogWriter {
public:
    explicit CLogWriter(std::FILE* out) : m_out(out) {}
    void Line(const std::string& line);

private:
    std::FILE* m_out;
    std::mutex m_mutex;
};
