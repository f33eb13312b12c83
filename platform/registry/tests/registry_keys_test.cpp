// Keys: opening, creating, names, handles, deleting, enumerating, HKCR.
#include <string>
#include <vector>

#include "platform/registry/tests/registry_fixture.h"

namespace {

std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0; RegEnumKey(key, i, &name) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    return names;
}

}  // namespace

TEST_F(CRegistryTest, OpensKeysIgnoringCaseAndKeepsTheCreatedSpelling) {
    HKEY key = Create("Software\\Telvora\\Course01\\1");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\telvora\\COURSE01\\1", &opened),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);

    // Creating again under another spelling opens the same key.
    RegCloseKey(Create("software\\TELVORA\\course01"));
    HKEY telvora = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Telvora", &telvora), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(telvora), std::vector<std::string>{"Course01"});
    RegCloseKey(telvora);

    // The two roots are separate.
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Telvora", &opened), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened, nullptr);
}

TEST_F(CRegistryTest, WalksSubKeyNamesAndRefusesEmptyOnes) {
    RegCloseKey(Create("a\\b\\"));  // one trailing backslash is fine
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "a\\b", &key), ERROR_SUCCESS);
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyEx(key, nullptr, &same), ERROR_SUCCESS);
    RegCloseKey(same);
    EXPECT_EQ(RegOpenKeyEx(key, "", &same), ERROR_SUCCESS);
    RegCloseKey(same);
    RegCloseKey(key);

    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "\\a", &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "a\\\\b", &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "a\\\\b", &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "a", nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(CRegistryTest, StoresOddNamesLiterally) {
    // "淺" ends in the byte of a backslash; it must not split the name.
    const std::vector<std::string> names = {"it's \"quoted\"", "100%", "a_b", "课件淺",
                                            std::string(3000, 'x')};
    HKEY parent = Create("Odd");
    for (const std::string& name : names)
        RegCloseKey(Create(name.c_str(), parent));
    for (const std::string& name : names) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyEx(parent, name.c_str(), &key), ERROR_SUCCESS) << name.size();
        RegCloseKey(key);
    }
    // Nothing matches as a pattern: '_' and '%' are plain characters.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(parent, "axb", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(parent, "100", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(parent, "课件", &key), ERROR_FILE_NOT_FOUND);
    // Only ASCII letters fold: "丄" (81 41) and "乤" (81 61) differ in a trail
    // byte that looks like 'A' / 'a', and are different names.
    RegCloseKey(Create("丄", parent));
    EXPECT_EQ(RegOpenKeyEx(parent, "乤", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(parent).size(), names.size() + 1);
    RegCloseKey(parent);
}

TEST_F(CRegistryTest, RefusesHandlesItDidNotHandOut) {
    HKEY key = Create("k");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    std::string name;
    EXPECT_EQ(RegEnumKey(key, 0, &name), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueEx(key, "v", REG_SZ, nullptr, 0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(nullptr, "v", nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x1234));
    EXPECT_EQ(RegOpenKeyEx(bogus, "k", &key), ERROR_INVALID_HANDLE);
    // Closing a predefined root does nothing and it stays usable.
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "k", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(CRegistryTest, DeletesWholeTrees) {
    HKEY course = Create("Software\\Telvora\\C1");
    RegCloseKey(Create("Software\\Telvora\\C1\\1\\deep\\deeper"));
    RegCloseKey(Create("Software\\Telvora\\C2"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora\\C1\\1", "", "/x"));

    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "software\\telvora\\c1"), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Telvora\\C1\\1", &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Telvora\\C2", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Software\\Telvora\\C1"), ERROR_FILE_NOT_FOUND);

    // A handle to a deleted key reports it, and does not bring it back.
    std::string name;
    EXPECT_EQ(RegEnumKey(course, 0, &name), ERROR_KEY_DELETED);
    const char text[] = "v";
    EXPECT_EQ(RegSetValueEx(course, "", REG_SZ, reinterpret_cast<const BYTE*>(text), 2),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyEx(course, "sub", &key), ERROR_KEY_DELETED);
    RegCloseKey(course);

    // No sub key: everything below the key goes, the key stays.
    HKEY telvora = Create("Software\\Telvora");
    ASSERT_TRUE(RegPutString(telvora, "", "Server", "host"));
    EXPECT_EQ(RegDeleteTree(telvora, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(telvora).empty());
    EXPECT_EQ(RegGetString(telvora, "", "Server"), std::nullopt);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Telvora", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(telvora);
}

TEST_F(CRegistryTest, EnumeratesSubKeysByName) {
    HKEY parent = Create("E");
    for (const char* name : {"beta", "Alpha", "gamma"})
        RegCloseKey(Create(name, parent));
    EXPECT_EQ(SubKeys(parent), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    std::string name;
    EXPECT_EQ(RegEnumKey(parent, 3, &name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKey(parent, 0, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(parent);
}

TEST_F(CRegistryTest, ClassesRootMergesUserOverMachine) {
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Classes\\Corvane.Ctrl", "", "machine"));
    ASSERT_TRUE(
        RegPutString(HKEY_LOCAL_MACHINE, "Software\\Classes\\Corvane.Ctrl\\CLSID", "", "{1}"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Classes\\Other", "", "user"));

    EXPECT_EQ(RegGetString(HKEY_CLASSES_ROOT, "corvane.ctrl", ""), "machine");
    EXPECT_EQ(RegGetString(HKEY_CLASSES_ROOT, "Other", ""), "user");
    EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT), (std::vector<std::string>{"Corvane.Ctrl", "Other"}));

    // Writes land in HKCU and hide the machine's value; HKLM keeps its own.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Corvane.Ctrl", &key), ERROR_SUCCESS);
    const char text[] = "user";
    EXPECT_EQ(RegSetValueEx(key, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(text), 5),
              ERROR_SUCCESS);
    EXPECT_EQ(RegGetString(HKEY_CLASSES_ROOT, "Corvane.Ctrl", ""), "user");
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Classes\\Corvane.Ctrl", ""), "user");
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, "Software\\Classes\\Corvane.Ctrl", ""), "machine");
    EXPECT_EQ(SubKeys(key), std::vector<std::string>{"CLSID"});
    RegCloseKey(key);

    ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "New\\Sub", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Classes\\New\\Sub", &key), ERROR_SUCCESS);
    RegCloseKey(key);

    // Deleting through HKCR removes the key from both views.
    EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, "Corvane.Ctrl"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Corvane.Ctrl", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Classes\\Corvane.Ctrl", &key),
              ERROR_FILE_NOT_FOUND);
}
