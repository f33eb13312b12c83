// The update-notes pages an update writes into the course's systeminfo
// folder: the explanation page (links to the server's notes of each package
// of the offer, newest first) and the history page (this update's links
// above the links of every earlier update). Pure text; the worker writes it.
#pragma once

#include <string>
#include <vector>

#include "common/course_format.h"
#include "corvane/update_answer.h"

// The base address of the server's pages: "http://host[:port]/rdcenter/newweb/"
// (the port only when it is not 80; an IPv6 address in brackets).
std::string ServerBaseAddress(const std::string& host, unsigned port);

// The link list L: "<br>本次更新内容说明：\n" and one link per package, from
// the last package of the answer to the first, each to
// base + "explain/" + fileName + "\" + code + ".htm".
std::string ExplainLinkList(const std::string& serverBase, const std::string& fileName,
                            const std::vector<PackageEntry>& packages);

// The lines of an earlier history page worth keeping: those holding "href"
// and not "打印", each followed by "\n".
std::string KeptHistoryLines(const std::vector<std::string>& earlierLines);

// The history page's text (line feeds; written with CR LF): the course's
// end line, L, then the earlier links under "历次更新内容说明：" when there
// was an earlier page, then the print link.
std::string HistoryText(const std::string& courseName, const std::string& linkList, bool hadHistory,
                        const std::string& keptLines);

// The bytes a text page is stored as: every line feed as CR LF, then one zero
// byte, as the system's pages end.
std::string TextPageBytes(const std::string& text);
