// The index of a course and the folder layout.
#include <gtest/gtest.h>

#include <filesystem>

#include "tools/update-server/package_store.h"
#include "tools/update-server/tests/server_test_support.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Codes(const std::vector<CPackage>& packages) {
    std::vector<std::string> codes;
    for (const CPackage& p : packages)
        codes.push_back(p.code);
    return codes;
}

TEST(PackageIndexTest, ReadsWhatItWritesAndSkipsTheRest) {
    const std::vector<CPackage> packages = {{"03052301", 1200}, {"03060501", 0}};
    const std::vector<CPackage> back = ParseIndex(ComposeIndex(packages));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].code, "03052301");
    EXPECT_EQ(back[0].size, 1200u);
    EXPECT_EQ(back[1].size, 0u);

    const std::vector<CPackage> mixed = ParseIndex(
        "# comment\r\n"
        "03060501 800\r\n"
        "\n"
        "03052301\t1200\n"
        "0305230 5\n"                         // short code
        "0305230x 5\n"                        // not digits
        "03070101 -5\n"                       // negative size
        "03070102 5kb\n"                      // trailing text
        "03070103 99999999999999999999999\n"  // does not fit
        "03070105 9223372036854775808\n"      // larger than any file
        "03070104\n"                          // no size
        "03060501 999\n"                      // repeated code: the first stays
        "03080101 9223372036854775807");
    EXPECT_EQ(Codes(mixed), (std::vector<std::string>{"03052301", "03060501", "03080101"}));
    EXPECT_EQ(mixed[1].size, 800u);
    EXPECT_EQ(mixed[2].size, 9223372036854775807u);
    EXPECT_TRUE(ParseIndex("").empty());
}

TEST(PackageIndexTest, NewerPackagesOldestFirstAndAtMostLimit) {
    const std::vector<CPackage> all = {{"03052301", 1}, {"03060501", 2}, {"03070101", 3}};
    EXPECT_EQ(Codes(PackagesNewerThan(all, "0", 100)), Codes(all));
    EXPECT_EQ(Codes(PackagesNewerThan(all, "", 100)), Codes(all));
    EXPECT_EQ(Codes(PackagesNewerThan(all, "garbage", 100)), Codes(all));
    EXPECT_EQ(Codes(PackagesNewerThan(all, "03060501", 100)), std::vector<std::string>{"03070101"});
    EXPECT_EQ(Codes(PackagesNewerThan(all, "03060600", 100)), std::vector<std::string>{"03070101"});
    EXPECT_TRUE(PackagesNewerThan(all, "03070101", 100).empty());
    EXPECT_TRUE(PackagesNewerThan(all, "99999999", 100).empty());
    // More than the client takes: the oldest come first, the rest next time.
    EXPECT_EQ(Codes(PackagesNewerThan(all, "0", 2)),
              (std::vector<std::string>{"03052301", "03060501"}));
}

TEST(PackageStoreTest, LayoutAndReading) {
    CTempFolder dir;
    CPackageStore store(dir.Path() + "//");
    EXPECT_EQ(store.Root(), dir.Path());
    EXPECT_EQ(store.ArchiveFile("数学", "03052301"),
              dir.Path() + "/courses/\xE6\x95\xB0\xE5\xAD\xA6/03052301.rar");
    EXPECT_EQ(store.NotesFile("math", "03052301"), dir.Path() + "/courses/math/03052301.htm");
    EXPECT_EQ(store.UsersFile(), dir.Path() + "/users.txt");

    EXPECT_TRUE(store.Packages("math").empty());
    std::string content = "x";
    std::string error;
    EXPECT_TRUE(store.ReadIndexText("math", &content, &error));
    EXPECT_EQ(content, "");

    WriteTestFile(store.IndexFile("数学"), "03052301 10\n");
    EXPECT_EQ(Codes(store.Packages("数学")), std::vector<std::string>{"03052301"});
    // A name that cannot be a course never reaches the disk.
    WriteTestFile(dir / "courses/index.txt", "03052301 10\n");
    EXPECT_TRUE(store.Packages("").empty());
    EXPECT_TRUE(store.Packages("..").empty());

    // An index that exists but cannot be read is an error, not "no packages".
    fs::create_directories(store.IndexFile("broken"));
    EXPECT_FALSE(store.ReadIndexText("broken", &content, &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos);
    EXPECT_TRUE(store.Packages("broken").empty());
}

}  // namespace
