// A string that one thread writes and another reads (the installer's current
// file, the update's user name and password, ...): every access takes a copy
// under a lock, so a reader never sees a string half written.
#pragma once

#include <mutex>
#include <string>

class CSharedString {
public:
    std::string Get() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_value;
    }
    void Set(std::string value) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_value;
};
