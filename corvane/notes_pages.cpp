#include "corvane/notes_pages.h"

std::string ServerBaseAddress(const std::string& host, unsigned port) {
    std::string address = "http://";
    address += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (port != 80)
        address += ":" + std::to_string(port);
    return address + "/rdcenter/newweb/";
}

std::string ExplainLinkList(const std::string& serverBase, const std::string& fileName,
                            const std::vector<PackageEntry>& packages) {
    std::string list = "<br>本次更新内容说明：\n";
    for (auto it = packages.rbegin(); it != packages.rend(); ++it) {
        list += "<br><a href=\"" + serverBase + "explain/" + fileName + "\\" + it->code +
                ".htm\">" + CodeDateText(it->code) + "</a>";
    }
    return list;
}

std::string KeptHistoryLines(const std::vector<std::string>& earlierLines) {
    std::string kept;
    for (const std::string& line : earlierLines) {
        if (line.find("href") != std::string::npos && line.find("打印") == std::string::npos)
            kept += line + "\n";
    }
    return kept;
}

std::string HistoryText(const std::string& courseName, const std::string& linkList, bool hadHistory,
                        const std::string& keptLines) {
    std::string text = "《" + courseName + "》" + "课件本次更新结束。<br>\n" + linkList;
    if (hadHistory)
        text += "\n<br><br>历次更新内容说明：\n" + keptLines;
    return text + "\n<br><p><a href=\"javascript:print()\">打印</a></p>\n";
}

std::string TextPageBytes(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16 + 1);
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    bytes += '\0';
    return bytes;
}
