// The GBK pages the server answers with. The update control reads the query
// answer as text: everything from the first '&' to the first "</body>" is the
// update list, and a page holding "权限" anywhere is a refused login. So no
// page but the list ever holds an '&' (no entities either), and only the
// refusals hold "权限".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/update-server/package_store.h"

// Most fields the update control can take from one answer.
constexpr std::size_t kMaxListedPackages = 100;

// A package's archive path below /rdcenter/newweb/: the escaped course name,
// '/', the code and ".rar" ("math/03052301.rar"). The course name is escaped
// (url_escapes.h) so the field stays plain ASCII without '&', blank or
// ".rar" of its own whatever the name holds; the update control sends the
// path back as it is and the server decodes it.
std::string PackageServerPath(std::string_view fileid, std::string_view code);

// The answer to the query: the list of packages (oldest first), each field
// '&' + code + server path + ' ' + size, then "</body></html>". Without
// packages, a page without any '&' that says there is no update.
std::string UpdateListPage(std::string_view fileid, const std::vector<CPackage>& packages);

// A refused request: without credentials it asks for them, with wrong ones
// it says so. Both hold "权限".
std::string AccessDeniedPage(bool credentialsGiven);
// Too many failed logins: refused without checking for seconds. Holds
// "权限" too, so the update control offers the login again.
std::string ThrottledPage(unsigned seconds);
// The server has no room for the request now.
std::string BusyPage();
std::string NotFoundPage();
std::string MethodNotAllowedPage();

// The explanation page published when no notes are given: names the course
// and the update.
std::string DefaultNotesPage(std::string_view fileid, std::string_view code);
