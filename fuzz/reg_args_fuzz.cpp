// telvora-reg's command line (the arguments parted at NUL bytes), parsed and
// then run against the registry of the scratch prefix. The parse keeps what
// it was given, and a parsed command parses the same again from its printed
// form; a command that ran leaves the registry as it says, and one that asks
// a question changes nothing when no answer comes.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tools/reg/reg_args.h"
#include "tools/reg/reg_commands.h"

namespace {

std::vector<std::string> PartAtNul(std::string_view input) {
    std::vector<std::string> parts;
    if (input.empty())
        return parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = input.find('\0', start);
        parts.emplace_back(input.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

// The command line that gives these parsed arguments, as a user would type it.
std::vector<std::string> Printed(const CRegArgs& a) {
    static const char* const kOperations[] = {"query", "add", "delete"};
    std::vector<std::string> args{kOperations[static_cast<int>(a.m_operation)],
                                  KeyDisplayName(a, a.m_strPath)};
    if (a.m_value && a.m_value->empty()) {
        args.push_back("/ve");
    } else if (a.m_value) {
        args.push_back("/v");
        args.push_back(*a.m_value);
    }
    if (a.m_bRecurse)
        args.push_back("/s");
    if (a.m_type) {
        args.push_back("/t");
        args.push_back(*a.m_type);
    }
    if (a.m_data) {
        args.push_back("/d");
        args.push_back(*a.m_data);
    }
    if (a.m_bForce)
        args.push_back("/f");
    return args;
}

bool Same(const CRegArgs& a, const CRegArgs& b) {
    return a.m_operation == b.m_operation && a.m_hRoot == b.m_hRoot &&
           a.m_strRootName == b.m_strRootName && a.m_strPath == b.m_strPath &&
           a.m_value == b.m_value && a.m_bRecurse == b.m_bRecurse && a.m_bForce == b.m_bForce &&
           a.m_type == b.m_type && a.m_data == b.m_data;
}

void CheckParsed(const std::vector<std::string>& args, const CRegArgs& a) {
    FUZZ_CHECK(args.size() >= 2);
    FUZZ_CHECK((a.m_hRoot == HKEY_CURRENT_USER && a.m_strRootName == "HKEY_CURRENT_USER") ||
               (a.m_hRoot == HKEY_LOCAL_MACHINE && a.m_strRootName == "HKEY_LOCAL_MACHINE") ||
               (a.m_hRoot == HKEY_CLASSES_ROOT && a.m_strRootName == "HKEY_CLASSES_ROOT"));
    // The path is the key's text after the root, less one final backslash.
    FUZZ_CHECK(args[1].find(a.m_strPath) != std::string::npos);
    // Options belong to their operations.
    FUZZ_CHECK(!a.m_bRecurse || a.m_operation == ERegOperation::kQuery);
    FUZZ_CHECK(!a.m_bForce || a.m_operation != ERegOperation::kQuery);
    FUZZ_CHECK((!a.m_type && !a.m_data) || a.m_operation == ERegOperation::kAdd);
    if (a.m_type)
        FUZZ_CHECK(text::AsciiUpper(*a.m_type) == *a.m_type);
    // A value name or data is one whole argument.
    for (const std::optional<std::string>* given : {&a.m_value, &a.m_data})
        if (*given && !(*given)->empty())
            FUZZ_CHECK(std::find(args.begin(), args.end(), **given) != args.end());

    // The printed form parses to the same command, unless the path ends in a
    // backslash of its own (the parser takes one off a key it is given).
    if (text::FindLastBackslash(a.m_strPath) + 1 == a.m_strPath.size() && !a.m_strPath.empty())
        return;
    std::string error;
    const std::optional<CRegArgs> again = ParseRegArgs(Printed(a), &error);
    FUZZ_CHECK(again && error.empty());
    FUZZ_CHECK(Same(*again, a));
}

struct CRun {
    int status = 0;
    std::string out, err;
};

CRun Run(const CRegArgs& a) {
    std::ostringstream out, err;
    std::istringstream in;  // no answer to any question
    CRun run;
    run.status = RunRegCommand(a, out, err, in);
    run.out = out.str();
    run.err = err.str();
    FUZZ_CHECK(run.status == 0 || run.status == 1);
    // Output is UTF-8 for the terminal, and a failure says why.
    FUZZ_CHECK(fuzz::IsValidUtf8(run.out) && fuzz::IsValidUtf8(run.err));
    FUZZ_CHECK(run.status == 0 || !run.err.empty() || !run.out.empty());
    return run;
}

// What a value holds now: its type and bytes, or nothing.
std::optional<std::string> ValueState(const CRegArgs& a, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(a.m_hRoot, a.m_strPath.c_str(), &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> state;
    if (RegQueryValueEx(key, name.c_str(), &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (RegQueryValueEx(key, name.c_str(), &type, reinterpret_cast<BYTE*>(bytes.data()),
                            &size) == ERROR_SUCCESS)
            state = std::to_string(type) + ":" + bytes.substr(0, size);
    }
    RegCloseKey(key);
    return state;
}

bool KeyExists(const CRegArgs& a) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(a.m_hRoot, a.m_strPath.c_str(), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void CheckRun(const CRegArgs& a) {
    const std::string name = a.m_value.value_or("");
    const std::optional<std::string> before = ValueState(a, name);
    const bool keyBefore = KeyExists(a);
    const CRun run = Run(a);
    switch (a.m_operation) {
        case ERegOperation::kQuery:
            FUZZ_CHECK(ValueState(a, name) == before && KeyExists(a) == keyBefore);
            // A key that is there can be listed.
            if (!a.m_value && !a.m_bRecurse)
                FUZZ_CHECK((run.status == 0) == keyBefore);
            break;
        case ERegOperation::kAdd: {
            const bool setsValue = a.m_value || a.m_type || a.m_data;
            if (run.status == 0) {
                FUZZ_CHECK(KeyExists(a));
                if (setsValue) {
                    FUZZ_CHECK(ValueState(a, name).has_value());
                    // What was added reads back.
                    CRegArgs query = a;
                    query.m_operation = ERegOperation::kQuery;
                    query.m_value = name;
                    query.m_type.reset();
                    query.m_data.reset();
                    query.m_bForce = false;
                    const CRun shown = Run(query);
                    FUZZ_CHECK(shown.status == 0);
                    if (a.m_data && (!a.m_type || *a.m_type == "REG_SZ"))
                        FUZZ_CHECK(shown.out.find(text::GbkToUtf8(*a.m_data)) != std::string::npos);
                }
            } else if (!a.m_bForce && before) {
                // Declined: the value keeps what it held.
                FUZZ_CHECK(ValueState(a, name) == before);
            }
            break;
        }
        case ERegOperation::kDelete:
            if (!a.m_bForce) {
                // Without /f the question gets no answer: nothing changes.
                FUZZ_CHECK(ValueState(a, name) == before && KeyExists(a) == keyBefore);
            } else if (run.status == 0 && a.m_value) {
                FUZZ_CHECK(!ValueState(a, name));
            } else if (run.status == 0) {
                FUZZ_CHECK(!KeyExists(a));
            }
            break;
    }
}

// Empties both stores, so every input starts from the same registry. An
// input makes a few keys at most: more rounds than that mean a key that
// enumerates but can't be deleted.
void ClearRegistry() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        std::string name;
        int rounds = 0;
        while (RegEnumKey(root, 0, &name) == ERROR_SUCCESS) {
            FUZZ_CHECK(++rounds < 100);
            FUZZ_CHECK(RegDeleteTree(root, name.c_str()) == ERROR_SUCCESS);
        }
        DWORD type = 0;
        std::string data;
        while (RegEnumValue(root, 0, &name, &type, &data) == ERROR_SUCCESS) {
            FUZZ_CHECK(++rounds < 200);
            FUZZ_CHECK(RegDeleteValue(root, name.c_str()) == ERROR_SUCCESS);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScratchDir();
    const std::vector<std::string> args =
        PartAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string error;
    const std::optional<CRegArgs> parsed = ParseRegArgs(args, &error);
    if (!parsed) {
        FUZZ_CHECK(error.rfind("ERROR: ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(error.empty());
    CheckParsed(args, *parsed);
    CheckRun(*parsed);
    ClearRegistry();
    return 0;
}
