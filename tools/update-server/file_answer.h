// Answers from a file as a web server gives them: a validator (ETag,
// Last-Modified), 304 for a client whose copy is current, one byte range
// (206, or 416 when it lies past the end) and the whole file otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tools/update-server/http_server.h"

// "Sun, 06 Nov 1994 08:49:37 GMT" for seconds since 1970 (UTC).
std::string HttpDate(std::int64_t seconds);
// The three date forms HTTP allows; false for anything else.
bool ParseHttpDate(std::string_view text, std::int64_t* seconds);

// A strong validator from the file's size and modification time, the same
// for the same file on every machine that keeps its time.
std::string EntityTag(const CServedFile& file);

// The answer to request from file (open, with its size and time), with the
// content type and Cache-Control given (none when empty).
CHttpResponse FileResponse(const CHttpRequest& request, std::shared_ptr<CServedFile> file,
                           const std::string& contentType, const std::string& cacheControl);
