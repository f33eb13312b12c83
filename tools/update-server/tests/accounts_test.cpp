// Password hashes, the accounts file, the server's access check and the
// user command.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/text/text.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/password_hash.h"
#include "tools/update-server/tests/server_test_support.h"
#include "tools/update-server/user_accounts.h"
#include "tools/update-server/user_command.h"

namespace fs = std::filesystem;

namespace {

// Few iterations: these tests check the logic, not the cost.
constexpr unsigned kTestIterations = 1000;

std::string AccountLine(const std::string& name, const std::string& password) {
    CUserRecord r;
    r.name = name;
    EXPECT_TRUE(MakePasswordHash(password, kTestIterations, &r.hash));
    return ComposeUserLine(r);
}

std::optional<CCredentials> Login(const std::string& user, const std::string& password) {
    return CCredentials{user, password};
}

TEST(PasswordHashTest, SaltedAndChecked) {
    CPasswordHash a, b;
    ASSERT_TRUE(MakePasswordHash("secret", kTestIterations, &a));
    ASSERT_TRUE(MakePasswordHash("secret", kTestIterations, &b));
    EXPECT_EQ(a.salt.size(), kSaltBytes);
    EXPECT_NE(a.salt, b.salt);
    EXPECT_NE(a.hash, b.hash);
    EXPECT_TRUE(PasswordMatches("secret", a));
    EXPECT_FALSE(PasswordMatches("Secret", a));
    EXPECT_FALSE(PasswordMatches("", a));
    CPasswordHash broken = a;
    broken.iterations = 0;
    EXPECT_FALSE(PasswordMatches("secret", broken));
    broken = a;
    broken.hash.pop_back();
    EXPECT_FALSE(PasswordMatches("secret", broken));
    EXPECT_TRUE(SameBytes("abc", "abc"));
    EXPECT_FALSE(SameBytes("abc", "abd"));
    EXPECT_FALSE(SameBytes("abc", "ab"));
    EXPECT_NE(KeyedDigest("k1", "data"), KeyedDigest("k2", "data"));
    EXPECT_EQ(KeyedDigest("k1", "data").size(), 32u);
}

TEST(UserLineTest, RoundTripAndMalformedLines) {
    CUserRecord r;
    const std::string line = AccountLine("张 三", "pw");
    EXPECT_EQ(line.find(' '), line.find(" pbkdf2-sha256 "));  // the name's blank is escaped
    ASSERT_TRUE(ParseUserLine(line, &r));
    EXPECT_EQ(r.name, "张 三");
    EXPECT_TRUE(PasswordMatches("pw", r.hash));
    ASSERT_TRUE(ParseUserLine(line + "\r", &r));

    const std::string salt = std::string(32, 'a');
    const std::string hash = std::string(64, 'b');
    for (const std::string& bad : {
             std::string(""),
             "# alice pbkdf2-sha256 1000 " + salt + " " + hash,
             "alice md5 1000 " + salt + " " + hash,
             "alice pbkdf2-sha256 0 " + salt + " " + hash,
             "alice pbkdf2-sha256 4000000000 " + salt + " " + hash,
             "alice pbkdf2-sha256 x " + salt + " " + hash,
             "alice pbkdf2-sha256 1000 " + salt + "g " + hash,
             "alice pbkdf2-sha256 1000 " + salt + " " + hash + "bb",
             "alice pbkdf2-sha256 1000  " + hash,
             "alice pbkdf2-sha256 1000 " + salt + " " + hash + " extra",
             "al%3Aice pbkdf2-sha256 1000 " + salt + " " + hash,
         })
        EXPECT_FALSE(ParseUserLine(bad, &r)) << bad;
    EXPECT_TRUE(ParseUserLine("alice pbkdf2-sha256 1000 " + salt + " " + hash, &r));
}

TEST(UserLineTest, UserNames) {
    EXPECT_EQ(UserNameProblem("alice"), "");
    EXPECT_EQ(UserNameProblem("张三 李"), "");
    EXPECT_NE(UserNameProblem(""), "");
    EXPECT_NE(UserNameProblem("a:b"), "");
    EXPECT_NE(UserNameProblem("a\nb"), "");
    EXPECT_NE(UserNameProblem("\xCA"), "");
}

TEST(UserAccountsTest, PublicWithoutTheFile) {
    CTempFolder dir;
    CUserAccounts accounts(dir / "users.txt", nullptr);
    EXPECT_TRUE(accounts.IsPublic());
    EXPECT_EQ(accounts.Check(std::nullopt), EAccess::kGranted);
    EXPECT_EQ(accounts.Check(Login("anyone", "x")), EAccess::kGranted);
}

TEST(UserAccountsTest, AccountsAreCheckedAndFollowTheFile) {
    CTempFolder dir;
    const std::string file = dir / "users.txt";
    WriteTestFile(file, "# accounts\n" + AccountLine("alice", "secret") + "\n" +
                            AccountLine("张三", "密码") + "\ngarbage line\n");
    std::vector<std::string> warnings;
    CUserAccounts accounts(file, [&](const std::string& w) { warnings.push_back(w); });
    EXPECT_FALSE(accounts.IsPublic());
    EXPECT_EQ(warnings.size(), 1u);  // the garbage line
    EXPECT_EQ(accounts.Check(std::nullopt), EAccess::kNeedCredentials);
    EXPECT_EQ(accounts.Check(Login("alice", "secret")), EAccess::kGranted);
    EXPECT_EQ(accounts.Check(Login("alice", "secret")), EAccess::kGranted);  // remembered
    EXPECT_EQ(accounts.Check(Login("alice", "Secret")), EAccess::kRefused);
    EXPECT_EQ(accounts.Check(Login("Alice", "secret")), EAccess::kRefused);
    EXPECT_EQ(accounts.Check(Login("张三", "密码")), EAccess::kGranted);
    EXPECT_EQ(accounts.Check(Login("nobody", "secret")), EAccess::kRefused);
    EXPECT_EQ(accounts.Check(Login("", "")), EAccess::kRefused);

    // A new password replaces the remembered one at once.
    WriteTestFile(file, AccountLine("alice", "changed") + "\n");
    EXPECT_EQ(accounts.Check(Login("alice", "secret")), EAccess::kRefused);
    EXPECT_EQ(accounts.Check(Login("alice", "changed")), EAccess::kGranted);
    EXPECT_EQ(accounts.Check(Login("张三", "密码")), EAccess::kRefused);

    // Without any account left nobody gets in; without the file everyone does.
    WriteTestFile(file, "# no accounts\n");
    EXPECT_EQ(accounts.Check(Login("alice", "changed")), EAccess::kRefused);
    fs::remove(file);
    EXPECT_EQ(accounts.Check(std::nullopt), EAccess::kGranted);

    // An accounts file that cannot be read keeps the folder closed.
    fs::create_directory(file);
    EXPECT_EQ(accounts.Check(Login("alice", "changed")), EAccess::kRefused);
    EXPECT_FALSE(accounts.IsPublic());
}

TEST(UserAccountsTest, ChecksFromManyThreads) {
    CTempFolder dir;
    const std::string file = dir / "users.txt";
    WriteTestFile(file, AccountLine("alice", "secret") + "\n" + AccountLine("bob", "pw") + "\n");
    CUserAccounts accounts(file, nullptr);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                const bool good = (i + t) % 3 != 0;
                // Wrong ones under a name of their own, which they block.
                const EAccess got =
                    accounts.Check(good ? Login(i % 2 ? "alice" : "bob", i % 2 ? "secret" : "pw")
                                        : Login("mallory", "bad"));
                // Past a few failures a name is refused without checking.
                const bool refused = got == EAccess::kRefused || got == EAccess::kThrottled;
                if (good ? got != EAccess::kGranted : !refused)
                    ++wrong;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(UserAccountsTest, AFreshAccountsFileKeepsWhatWasChecked) {
    CTempFolder dir;
    const std::string file = dir / "users.txt";
    const std::string content =
        AccountLine("alice", "secret") + "\n" + AccountLine("bob", "pw") + "\n";
    WriteTestFile(file, content);
    CUserAccounts accounts(file, nullptr);
    ASSERT_EQ(accounts.Check(Login("alice", "secret")), EAccess::kGranted);
    // The file is new (read again on each request) and rewritten with the
    // same text: the checked password needs no new hash.
    WriteTestFile(file, content);
    EXPECT_FALSE(accounts.Begin(Login("alice", "secret")).ticket);
    EXPECT_EQ(accounts.Begin(Login("alice", "secret")).access, EAccess::kGranted);
    // Another account's line changed: alice's stays remembered, bob's
    // password is checked anew.
    WriteTestFile(file,
                  content.substr(0, content.find('\n') + 1) + AccountLine("bob", "new") + "\n");
    EXPECT_FALSE(accounts.Begin(Login("alice", "secret")).ticket);
    EXPECT_TRUE(accounts.Begin(Login("bob", "new")).ticket);
}

TEST(UserAccountsTest, RepeatedFailuresAreRefusedWithoutHashing) {
    CTempFolder dir;
    const std::string file = dir / "users.txt";
    WriteTestFile(file, AccountLine("alice", "secret") + "\n" + AccountLine("bob", "pw") + "\n");
    std::int64_t now = 5000000;
    std::vector<std::string> warnings;
    CUserAccounts accounts(
        file, [&](const std::string& w) { warnings.push_back(w); }, [&] { return now; });
    ASSERT_EQ(accounts.Check(Login("bob", "pw"), "10.0.0.9"), EAccess::kGranted);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(accounts.Check(Login("alice", "guess"), "10.0.0.1"), EAccess::kRefused);
    // Blocked: answered at once, no hash to run, with the time to wait.
    CAccessCheck check = accounts.Begin(Login("alice", "secret"), "10.0.0.2");
    EXPECT_EQ(check.access, EAccess::kThrottled);
    EXPECT_FALSE(check.ticket);
    EXPECT_EQ(check.retryAfterSeconds, 1u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"alice\""), std::string::npos) << warnings[0];
    // Another name from the same address is not blocked (yet).
    EXPECT_TRUE(accounts.Begin(Login("bob", "other"), "10.0.0.1").ticket);
    // The block ends; the next failure blocks for longer.
    now += 1000;
    check = accounts.Begin(Login("alice", "guess"), "10.0.0.1");
    ASSERT_TRUE(check.ticket);
    EXPECT_EQ(accounts.Finish(*check.ticket), EAccess::kRefused);
    EXPECT_EQ(accounts.Begin(Login("alice", "secret")).retryAfterSeconds, 2u);
    now += 2000;
    EXPECT_EQ(accounts.Check(Login("alice", "secret")), EAccess::kGranted);
    // A login checked before stays good during a block of its name.
    for (int i = 0; i < 5; ++i)
        accounts.Check(Login("alice", "guess"));
    EXPECT_EQ(accounts.Begin(Login("alice", "secret")).access, EAccess::kGranted);
    // Many failures from one address block it, for every name.
    for (int i = 0; i < 20; ++i)
        accounts.Check(Login("name" + std::to_string(i), "x"), "10.0.0.7");
    EXPECT_EQ(accounts.Begin(Login("bob", "whatever"), "10.0.0.7").access, EAccess::kThrottled);
    EXPECT_EQ(accounts.Begin(Login("bob", "pw"), "10.0.0.7").access, EAccess::kGranted);
}

TEST(UserCommandTest, AddChangeRemoveWithoutEverStoringThePassword) {
    CTempFolder dir;
    const std::string file = CPackageStore(dir.Path()).UsersFile();
    std::ostringstream out, err;
    std::istringstream in1("s3cr3t-pass\n");
    ASSERT_EQ(AddUser(dir.Path(), "alice", in1, out, err), 0) << err.str();
    // Standard input is UTF-8: 密码口令.
    std::istringstream in2("\xE5\xAF\x86\xE7\xA0\x81\xE5\x8F\xA3\xE4\xBB\xA4\r\n");
    ASSERT_EQ(AddUser(dir.Path(), "张三", in2, out, err), 0) << err.str();
    const std::string stored = ReadTestFile(file);
    EXPECT_EQ(stored.find("s3cr3t"), std::string::npos);
    EXPECT_EQ(stored.find("\xE5\xAF\x86"), std::string::npos);  // 密 in UTF-8
    EXPECT_EQ(stored.find("密码"), std::string::npos);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    CUserAccounts accounts(file, nullptr);
    EXPECT_EQ(accounts.Check(Login("alice", "s3cr3t-pass")), EAccess::kGranted);
    EXPECT_EQ(accounts.Check(Login("张三", "密码口令")), EAccess::kGranted);  // GBK bytes

    std::istringstream in3("new\n");
    ASSERT_EQ(AddUser(dir.Path(), "alice", in3, out, err), 0);
    EXPECT_NE(out.str().find("changed the password"), std::string::npos);
    EXPECT_EQ(accounts.Check(Login("alice", "s3cr3t-pass")), EAccess::kRefused);
    EXPECT_EQ(accounts.Check(Login("alice", "new")), EAccess::kGranted);
    EXPECT_EQ(accounts.Check(Login("张三", "密码口令")), EAccess::kGranted);

    ASSERT_EQ(RemoveUser(dir.Path(), "alice", out, err), 0);
    EXPECT_EQ(accounts.Check(Login("alice", "new")), EAccess::kRefused);
    EXPECT_EQ(RemoveUser(dir.Path(), "alice", out, err), 1);
    ASSERT_EQ(RemoveUser(dir.Path(), "张三", out, err), 0);
    EXPECT_NE(out.str().find("no account is left"), std::string::npos);
    EXPECT_FALSE(accounts.IsPublic());
}

TEST(UserCommandTest, RefusesBadNamesAndPasswords) {
    CTempFolder dir;
    std::ostringstream out, err;
    auto add = [&](const std::string& name, const std::string& input) {
        std::istringstream in(input);
        return AddUser(dir.Path(), name, in, out, err);
    };
    EXPECT_EQ(add("a:b", "pw\n"), 1);
    EXPECT_EQ(add("", "pw\n"), 1);
    EXPECT_EQ(add("alice", ""), 1);
    EXPECT_EQ(add("alice", "\n"), 1);
    EXPECT_EQ(add("alice", "\xF0\x9F\x98\x80\n"), 1);  // an emoji: GBK has none
    EXPECT_EQ(add("alice", "\xFF\xFE\n"), 1);          // not UTF-8
    EXPECT_FALSE(fs::exists(CPackageStore(dir.Path()).UsersFile()));
    EXPECT_NE(err.str().find("no password"), std::string::npos);
    EXPECT_EQ(RemoveUser(dir / "missing", "alice", out, err), 1);
}

}  // namespace
