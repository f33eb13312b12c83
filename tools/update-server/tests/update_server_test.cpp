// The server's answers, without the network.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <future>

#include "tools/update-server/package_store.h"
#include "tools/update-server/tests/server_test_support.h"
#include "tools/update-server/update_pages.h"
#include "tools/update-server/update_server.h"
#include "tools/update-server/user_accounts.h"

namespace fs = std::filesystem;

namespace {

class UpdateServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* code : {"03052301", "03060501", "03070101"}) {
            AddPackage("math", code, RarBytes(std::string("archive ") + code));
            AddPackage("数学", code, RarBytes("gbk"));
        }
    }
    // A published package, written the way publish leaves it.
    void AddPackage(const std::string& course, const std::string& code, const std::string& bytes) {
        WriteTestFile(m_store.ArchiveFile(course, code), bytes);
        WriteTestFile(m_store.NotesFile(course, code), "<p>notes " + code + "</p>");
        std::vector<CPackage> packages = m_store.Packages(course);
        packages.push_back({code, bytes.size()});
        WriteTestFile(m_store.IndexFile(course), ComposeIndex(packages));
    }
    void AddAccount(const std::string& name, const std::string& password) {
        CUserRecord r;
        r.name = name;
        ASSERT_TRUE(MakePasswordHash(password, 1000, &r.hash));
        WriteTestFile(m_store.UsersFile(),
                      ReadTestFile(m_store.UsersFile()) + ComposeUserLine(r) + "\n");
    }
    CHttpResponse Get(const std::string& target, std::optional<CCredentials> credentials = {},
                      const std::string& method = "GET") {
        CHttpRequest request;
        request.method = method;
        request.rawUri = target;
        request.clientAddress = "127.0.0.1";
        request.credentials = credentials;
        return Resolve(m_server.Handle(request));
    }
    // An answer that comes later (a login being checked), waited for.
    static CHttpResponse Resolve(CHttpResponse r) {
        if (!r.later)
            return r;
        std::promise<void> done;
        r.later->WhenComplete([&done] { done.set_value(); });
        EXPECT_EQ(done.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
        CHttpResponse answer;
        EXPECT_TRUE(r.later->TakeIfComplete(&answer));
        return answer;
    }
    std::string Query(const std::string& query) {
        const CHttpResponse r = Get("/rdcenter/newweb/sql.asp?" + query);
        EXPECT_EQ(r.status, 200);
        return r.body;
    }
    static std::string Body(const CHttpResponse& r) {
        if (!r.file)
            return r.body;
        std::string bytes(r.fileLength, '\0');
        EXPECT_EQ(pread(r.file->Descriptor(), bytes.data(), bytes.size(),
                        static_cast<off_t>(r.fileOffset)),
                  static_cast<ssize_t>(bytes.size()));
        return bytes;
    }
    static std::vector<std::string> ListedCodes(const std::string& page) {
        std::vector<std::string> codes;
        for (std::size_t p = page.find('&'); p != std::string::npos; p = page.find('&', p + 1))
            codes.push_back(page.substr(p + 1, 8));
        return codes;
    }

    CTempFolder m_dir;
    CPackageStore m_store{m_dir.Path()};
    CUpdateServer m_server{m_dir.Path(), nullptr};
};

TEST_F(UpdateServerTest, ListsWhatIsNewerOldestFirst) {
    using V = std::vector<std::string>;
    EXPECT_EQ(ListedCodes(Query("fileid=math&versnumber=0&userid=a")),
              (V{"03052301", "03060501", "03070101"}));
    EXPECT_EQ(ListedCodes(Query("fileid=math&versnumber=&userid=a")).size(), 3u);
    EXPECT_EQ(ListedCodes(Query("fileid=math&versnumber=3x&userid=a")).size(), 3u);
    EXPECT_EQ(ListedCodes(Query("fileid=math")).size(), 3u);
    EXPECT_EQ(ListedCodes(Query("fileid=math&versnumber=03060501")), V{"03070101"});
    EXPECT_EQ(ListedCodes(Query("fileid=math&versnumber=03070101")), V{});
    EXPECT_EQ(ListedCodes(Query("fileid=%CA%FD%D1%A7&versnumber=03052301")),
              (V{"03060501", "03070101"}));
    EXPECT_EQ(ListedCodes(Query("fileid=数学&versnumber=03052301")).size(), 2u);
    EXPECT_EQ(ListedCodes(Query("fileid=%E6%95%B0%E5%AD%A6&versnumber=0")).size(), 3u);
    const CHttpResponse r = Get("/rdcenter/newweb/sql.asp?fileid=math");
    EXPECT_EQ(r.contentType, "text/html; charset=GBK");
    EXPECT_NE(r.body.find("&03052301math/03052301.rar 23\n"), std::string::npos) << r.body;
}

TEST_F(UpdateServerTest, UnknownOrImpossibleCoursesHaveNoUpdate) {
    for (const char* query :
         {"fileid=physics&versnumber=0", "fileid=&versnumber=0", "fileid=%2F", "fileid=%5C",
          "fileid=..", "fileid=%2e%2e", "fileid=../math", "fileid=courses", "versnumber=0", ""}) {
        const std::string page = Query(query);
        EXPECT_EQ(page.find('&'), std::string::npos) << query;
        EXPECT_EQ(page.find("权限"), std::string::npos) << query;
    }
}

TEST_F(UpdateServerTest, MoreThanTheClientTakes) {
    for (int i = 1; i <= 120; ++i) {
        const std::string number = std::to_string(i);
        AddPackage("big", "04" + std::string(6 - number.size(), '0') + number, "x");
    }
    const std::vector<std::string> codes = ListedCodes(Query("fileid=big&versnumber=0"));
    ASSERT_EQ(codes.size(), kMaxListedPackages);
    EXPECT_EQ(codes.front(), "04000001");
    EXPECT_EQ(codes.back(), "04000100");
    EXPECT_EQ(ListedCodes(Query("fileid=big&versnumber=04000100")).size(), 20u);
}

TEST_F(UpdateServerTest, ServesOnlyPublishedFilesInsideTheFolder) {
    CHttpResponse r = Get("/rdcenter/newweb/math/03060501.rar");
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(Body(r), RarBytes("archive 03060501"));
    EXPECT_EQ(r.contentType, "application/x-rar-compressed");
    EXPECT_EQ(Body(Get("/rdcenter/newweb/%CA%FD%D1%A7/03052301.rar")), RarBytes("gbk"));
    for (const char* sep : {"\\", "%5C", "/"}) {
        r = Get(std::string("/rdcenter/newweb/explain/math") + sep + "03070101.htm");
        ASSERT_EQ(r.status, 200) << sep;
        EXPECT_EQ(Body(r), "<p>notes 03070101</p>");
    }
    // A browser's UTF-8 form of a GBK course name.
    EXPECT_EQ(Get("/rdcenter/newweb/explain/%E6%95%B0%E5%AD%A6/03070101.htm").status, 200);

    // A file of the right name that the index does not list is not served.
    WriteTestFile(m_store.ArchiveFile("math", "03080101"), RarBytes("unpublished"));
    EXPECT_EQ(Get("/rdcenter/newweb/math/03080101.rar").status, 404);
    // Nor one that a link takes out of the folder.
    CTempFolder outside;
    WriteTestFile(outside / "secret.rar", "secret");
    fs::remove(m_store.ArchiveFile("math", "03052301"));
    fs::create_symlink(outside / "secret.rar", m_store.ArchiveFile("math", "03052301"));
    EXPECT_EQ(Get("/rdcenter/newweb/math/03052301.rar").status, 404);
    // A link that stays inside is fine.
    fs::remove(m_store.NotesFile("math", "03052301"));
    fs::create_symlink(m_store.NotesFile("math", "03060501"),
                       m_store.NotesFile("math", "03052301"));
    EXPECT_EQ(Get("/rdcenter/newweb/explain/math/03052301.htm").status, 200);
    // A published entry whose file is gone.
    fs::remove(m_store.ArchiveFile("math", "03070101"));
    EXPECT_EQ(Get("/rdcenter/newweb/math/03070101.rar").status, 404);

    for (const char* target : {"/rdcenter/newweb/%2e%2e/users.txt", "/rdcenter/newweb/../x",
                               "/rdcenter/newweb/courses/math/index.txt", "/etc/passwd", "/"}) {
        r = Get(target);
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_FALSE(r.file) << target;
    }
}

TEST_F(UpdateServerTest, OnlyGetAndHead) {
    EXPECT_EQ(Get("/rdcenter/newweb/sql.asp", {}, "HEAD").status, 200);
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "get", "BREW"}) {
        const CHttpResponse r = Get("/rdcenter/newweb/sql.asp", {}, method);
        EXPECT_EQ(r.status, 405) << method;
        ASSERT_EQ(r.headers.size(), 1u);
        EXPECT_EQ(r.headers[0].second, "GET, HEAD");
    }
}

TEST_F(UpdateServerTest, AccountsGuardTheListAndArchivesButNotTheNotes) {
    AddAccount("张三", "密码");
    CHttpResponse r = Get("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=x");
    EXPECT_EQ(r.status, 401);
    ASSERT_FALSE(r.headers.empty());
    EXPECT_EQ(r.headers[0].first, "WWW-Authenticate");
    EXPECT_EQ(r.headers[0].second.rfind("Basic realm=", 0), 0u);
    EXPECT_NE(r.body.find("权限"), std::string::npos);
    EXPECT_EQ(r.body.find('&'), std::string::npos);

    r = Get("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0", CCredentials{"张三", "wrong"});
    EXPECT_EQ(r.status, 401);
    EXPECT_NE(r.body.find("权限"), std::string::npos);
    // Wrong credentials say 权限 even for a course without updates.
    r = Get("/rdcenter/newweb/sql.asp?fileid=nothing", CCredentials{"李四", "密码"});
    EXPECT_NE(r.body.find("权限"), std::string::npos);

    // The userid in the query is not what grants access.
    r = Get("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=someone",
            CCredentials{"张三", "密码"});
    EXPECT_EQ(ListedCodes(r.body).size(), 3u);
    EXPECT_EQ(r.body.find("权限"), std::string::npos);

    EXPECT_EQ(Get("/rdcenter/newweb/math/03052301.rar").status, 401);
    EXPECT_EQ(Get("/rdcenter/newweb/math/03052301.rar", CCredentials{"张三", "x"}).status, 401);
    EXPECT_EQ(Get("/rdcenter/newweb/math/03052301.rar", CCredentials{"张三", "密码"}).status, 200);
    EXPECT_EQ(Get("/rdcenter/newweb/explain/math%5C03052301.htm").status, 200);
    EXPECT_EQ(Get("/rdcenter/newweb/nothing").status, 404);
}

}  // namespace
