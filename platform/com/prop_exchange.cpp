#include "platform/com/prop_exchange.h"

#include <climits>

#include "platform/text/number.h"

namespace com {

CPropExchange CPropExchange::ForLoading(std::map<std::string, std::int32_t> values) {
    CPropExchange px;
    px.m_bLoading = true;
    px.m_values = std::move(values);
    return px;
}

CPropExchange CPropExchange::ForSaving() {
    return CPropExchange();
}

void CPropExchange::ExchangeVersion(DWORD& version, DWORD current, bool convert) {
    if (m_bLoading) {
        auto it = m_values.find("_Version");
        version = it == m_values.end() ? current : static_cast<DWORD>(it->second);
        return;
    }
    std::int32_t stored = static_cast<std::int32_t>(convert ? current : version);
    ExchangeLong("_Version", stored, stored);
}

void CPropExchange::ExchangeLong(const char* name, std::int32_t& value, std::int32_t defaultValue) {
    if (m_bLoading) {
        auto it = m_values.find(name);
        value = it == m_values.end() ? defaultValue : it->second;
        return;
    }
    m_text += name;
    m_text += '=';
    m_text += std::to_string(value);
    m_text += '\n';
}

std::string CPropExchange::Text() const {
    return m_text;
}

bool CPropExchange::Parse(const std::string& text, std::map<std::string, std::int32_t>* values) {
    std::map<std::string, std::int32_t> parsed;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == 0 || eq == std::string::npos) {
            return false;
        }
        const std::string number = line.substr(eq + 1);
        if (number.empty() || number.find_first_not_of("+-0123456789") != std::string::npos) {
            return false;
        }
        // One sign; a '+' takes no '-' after it.
        const bool plus = number[0] == '+';
        const std::optional<std::int64_t> read = text::ParseDecimal(
            std::string_view(number).substr(plus ? 1 : 0), plus ? 0 : INT32_MIN, UINT32_MAX);
        if (!read) {
            return false;
        }
        const std::int64_t value = *read;
        // Versions are written as unsigned numbers: keep their bits.
        parsed[line.substr(0, eq)] = static_cast<std::int32_t>(static_cast<std::uint32_t>(
            value < 0 ? static_cast<std::uint32_t>(static_cast<std::int32_t>(value))
                      : static_cast<std::uint32_t>(value)));
    }
    *values = std::move(parsed);
    return true;
}

}  // namespace com
