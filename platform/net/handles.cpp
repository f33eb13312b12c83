#include "platform/net/handles_internal.h"

#include <mutex>
#include <unordered_map>

namespace net {

namespace {

struct Entry {
    std::shared_ptr<CInternetObject> object;
    std::uintptr_t parent = 0;
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, Entry> entries;
    // Handle values look like the desktop OS's and step by 4; 2^62 of them
    // outlast any process.
    std::uintptr_t next = 0x00CC0004;
};

HandleTable& Table() {
    // Never destroyed: a handle closed during the process's exit still finds it.
    static HandleTable* table = new HandleTable;
    return *table;
}

std::uintptr_t Key(HINTERNET handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace

HINTERNET AddHandle(std::shared_ptr<CInternetObject> object, HINTERNET parent) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (parent && table.entries.find(Key(parent)) == table.entries.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::uintptr_t key = table.next;
    table.next += 4;
    table.entries.emplace(key, Entry{std::move(object), Key(parent)});
    return reinterpret_cast<HINTERNET>(key);
}

std::shared_ptr<CInternetObject> FindHandle(HINTERNET handle) {
    if (!handle)
        return nullptr;
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto it = table.entries.find(Key(handle));
    return it == table.entries.end() ? nullptr : it->second.object;
}

bool CloseHandleTree(HINTERNET handle) {
    std::vector<std::shared_ptr<CInternetObject>> closed;
    {
        HandleTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        if (!handle || table.entries.find(Key(handle)) == table.entries.end())
            return false;
        // The tree is at most three levels deep and the table small.
        std::vector<std::uintptr_t> keys{Key(handle)};
        for (std::size_t i = 0; i < keys.size(); ++i) {
            for (const auto& [key, entry] : table.entries) {
                if (entry.parent == keys[i])
                    keys.push_back(key);
            }
        }
        for (std::uintptr_t key : keys) {
            auto it = table.entries.find(key);
            closed.push_back(std::move(it->second.object));
            table.entries.erase(it);
        }
    }
    // Outside the lock: waking a transfer and freeing it may take a moment.
    for (const auto& object : closed)
        object->OnClose();
    return true;
}

std::size_t OpenHandleCount() {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.entries.size();
}

}  // namespace net
