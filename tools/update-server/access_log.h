// The server's access log: one line a request on standard output, after
// the listening line, in the combined log format that log readers know,
// with the Basic user name as sent:
//
//   127.0.0.1 - alice [01/May/2024:08:30:00 +0000] "GET /rdcenter/newweb/sql.asp?fileid=math
//   HTTP/1.0" 200 412 "-" "corvane"
//
// Times are UTC. Bytes that could upset a terminal or a log reader
// (controls, quotes, backslashes, bytes above 0x7E such as raw GBK; blanks
// too outside the quoted header fields) are written as \xNN. The status is
// "-" when no answer was given, the size "-" when no body went out whole.
// Passwords never appear: only the user name of the Authorization header is
// logged.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "tools/update-server/http_server.h"

std::string LogSafe(std::string_view bytes);
// "YYYY-MM-DDTHH:MM:SSZ"
std::string UtcTimeText(std::time_t when);
// "01/May/2024:08:30:00 +0000"
std::string CommonLogTime(std::time_t when);
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
