// Values: the default value, buffer sizes, types, deleting, enumerating.
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry/tests/registry_fixture.h"

namespace {

LONG SetText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
}

}  // namespace

TEST_F(CRegistryTest, DefaultValueNeverSetReadsEmpty) {
    HKEY key = Create("Software\\Telvora\\C1");
    char buf[100];
    std::memset(buf, 'x', sizeof buf);
    DWORD type = REG_NONE;
    DWORD size = sizeof buf;
    EXPECT_EQ(RegQueryValueEx(key, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 1u);
    EXPECT_STREQ(buf, "");
    // Named values that were never set are missing.
    EXPECT_EQ(RegQueryValueEx(key, "Version", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\C1", "Version"), std::nullopt);
    // A never-set default is not listed and can't be deleted.
    std::string name;
    EXPECT_EQ(RegEnumValue(key, 0, &name, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegDeleteValue(key, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(CRegistryTest, HundredByteBufferHoldsNinetyNineCharacters) {
    HKEY key = Create("Software\\Telvora\\C1\\1");
    const std::string fits(99, 'a');
    const std::string tooLong(100, 'b');
    ASSERT_EQ(SetText(key, "", fits), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "long", tooLong), ERROR_SUCCESS);

    char buf[100] = {};
    DWORD size = sizeof buf;
    EXPECT_EQ(RegQueryValueEx(key, "", nullptr, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf), fits);
    EXPECT_EQ(size, 100u);

    std::memset(buf, 0, sizeof buf);
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueEx(key, "LONG", nullptr, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 101u);
    EXPECT_EQ(buf[0], 0) << "a buffer too small is left as it was";

    // The Win16 form follows the same rule.
    LONG cb = sizeof buf;
    EXPECT_EQ(RegQueryValue(HKEY_CURRENT_USER, "Software\\Telvora\\C1\\1", buf, &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(cb, 100);
    ASSERT_EQ(SetText(key, nullptr, tooLong), ERROR_SUCCESS);
    cb = sizeof buf;
    EXPECT_EQ(RegQueryValue(key, nullptr, buf, &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 101);
    EXPECT_EQ(RegQueryValue(key, "missing", buf, &cb), ERROR_FILE_NOT_FOUND);

    // Asking for the size only.
    size = 0;
    EXPECT_EQ(RegQueryValueEx(key, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 101u);
    EXPECT_EQ(RegQueryValueEx(key, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(CRegistryTest, KeepsTextAndNumbers) {
    HKEY key = Create("Software\\Telvora\\Drives");
    const DWORD number = 0x12345678;
    EXPECT_EQ(RegSetValueEx(key, "Count", REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(key, "Bad", REG_DWORD, reinterpret_cast<const BYTE*>(&number), 3),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(key, "Bad", 3, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_INVALID_PARAMETER);
    DWORD type = REG_NONE;
    DWORD read = 0;
    DWORD size = sizeof read;
    EXPECT_EQ(RegQueryValueEx(key, "count", &type, reinterpret_cast<BYTE*>(&read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(read, number);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, "software\\telvora\\drives", "COUNT"), number);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\Drives", "Count"), std::nullopt);

    // GBK text, a missing terminator, and text cut at its terminator.
    EXPECT_EQ(SetText(key, "e:", "光盘"), ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\Drives", "E:"), "光盘");
    EXPECT_EQ(RegSetValueEx(key, "raw", REG_SZ, reinterpret_cast<const BYTE*>("hdXYZ"), 2),
              ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\Drives", "raw"), "hd");
    EXPECT_EQ(RegSetValueEx(key, "cut", REG_SZ, reinterpret_cast<const BYTE*>("cd\0rom"), 7),
              ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\Drives", "cut"), "cd");
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, "Software\\Telvora\\Drives", "cut"), std::nullopt);

    // A value is replaced, keeps its first spelling, and may change type.
    EXPECT_EQ(SetText(key, "COUNT", "many"), ERROR_SUCCESS);
    std::string name, data;
    EXPECT_EQ(RegEnumValue(key, 0, &name, &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(name, "Count");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, "many");
    RegCloseKey(key);
}

TEST_F(CRegistryTest, DeletesAndEnumeratesValues) {
    HKEY key = Create("V");
    ASSERT_EQ(SetText(key, "first", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, nullptr, "default"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "last", "3"), ERROR_SUCCESS);

    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0; RegEnumValue(key, i, &name, nullptr, nullptr) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "", "last"}));

    EXPECT_EQ(RegDeleteValue(key, "FIRST"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key, "first"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValue(key, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(key, "", ""), "");
    EXPECT_EQ(RegEnumValue(key, 0, &name, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(name, "last");
    EXPECT_EQ(RegEnumValue(key, 1, &name, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(CRegistryTest, SetValueMakesTheKeyAndStopsAtTheGivenSize) {
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "Software\\Telvora\\C9\\1", REG_SZ, "D:\\course", 0),
              ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\C9\\1", ""), "D:\\course");
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "x", REG_SZ, unterminated, 2), ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "x", ""), "ab");
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "x", REG_DWORD, "1", 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValue(HKEY_CURRENT_USER, "x", REG_SZ, nullptr, 0), ERROR_INVALID_PARAMETER);
}
