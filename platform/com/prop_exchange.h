// Property exchange: one routine of a control both saves its properties and
// loads them back. The stored form is text, one "name=value" a line with
// decimal values, which a container keeps as it is.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/error/error.h"

namespace com {

class CPropExchange {
public:
    // Loading from stored values (an empty set loads every default).
    static CPropExchange ForLoading(std::map<std::string, std::int32_t> values);
    static CPropExchange ForSaving();

    bool IsLoading() const { return m_bLoading; }

    // The property-set version. Loading: version gets the stored one (current
    // when none is stored), and the control converts older sets itself.
    // Saving: current is written when convert is set, else version.
    void ExchangeVersion(DWORD& version, DWORD current, bool convert = true);
    // A 32-bit property; loading takes defaultValue when it is not stored.
    void ExchangeLong(const char* name, std::int32_t& value, std::int32_t defaultValue);

    // Saving: the text of what was exchanged.
    std::string Text() const;

    // Parses stored text; false for a line that is not "name=value" with a
    // decimal 32-bit value.
    static bool Parse(const std::string& text, std::map<std::string, std::int32_t>* values);

private:
    bool m_bLoading = false;
    std::map<std::string, std::int32_t> m_values;
    std::string m_text;
};

}  // namespace com
