// The command line and the log line.
#include <gtest/gtest.h>

#include "tools/update-server/access_log.h"
#include "tools/update-server/http_server.h"
#include "tools/update-server/server_options.h"

namespace {

bool Parse(std::vector<std::string> args, CServerOptions* o, std::string* error = nullptr) {
    std::string ignored;
    return ParseServerOptions(args, o, error ? error : &ignored);
}

TEST(ListenAddressTest, NumericAddressesAndPorts) {
    std::string address, error;
    unsigned port = 1;
    ASSERT_TRUE(ParseListenAddress("127.0.0.1:0", &address, &port, &error));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, 0u);
    ASSERT_TRUE(ParseListenAddress("[::1]:65535", &address, &port, &error));
    EXPECT_EQ(address, "::1");
    EXPECT_EQ(port, 65535u);
    ASSERT_TRUE(ParseListenAddress("localhost:8080", &address, &port, &error));
    EXPECT_EQ(address, "127.0.0.1");
    for (const char* bad : {"", "8080", "127.0.0.1", "127.0.0.1:", "127.0.0.1:65536",
                            "127.0.0.1:-1", "127.0.0.1:80x", "256.0.0.1:80", "1.2.3:80",
                            "1.2.3.4.5:80", "example.com:80", "[::1:80", "[xyz]:80", ":80"}) {
        EXPECT_FALSE(ParseListenAddress(bad, &address, &port, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ServerOptionsTest, Commands) {
    CServerOptions o;
    ASSERT_TRUE(Parse({"serve", "/srv"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kServe);
    EXPECT_EQ(o.address, "127.0.0.1");
    EXPECT_EQ(o.port, 8080u);
    EXPECT_EQ(o.idleTimeoutSeconds, 30u);
    ASSERT_TRUE(Parse({"serve", "/srv", "--listen=0.0.0.0:0", "--timeout", "5"}, &o));
    EXPECT_EQ(o.address, "0.0.0.0");
    EXPECT_EQ(o.port, 0u);
    EXPECT_EQ(o.idleTimeoutSeconds, 5u);
    ASSERT_TRUE(Parse({"publish", "/srv", "--course", "数学", "--code", "03052301", "--archive",
                       "a.rar", "--notes=n.htm"},
                      &o));
    EXPECT_EQ(o.command, EServerCommand::kPublish);
    EXPECT_EQ(o.course, "数学");
    EXPECT_EQ(o.archive, "a.rar");
    EXPECT_EQ(o.notes, "n.htm");
    ASSERT_TRUE(Parse({"publish", "/srv", "--course", "", "--code", "x", "--from", "f"}, &o));
    EXPECT_EQ(o.from, "f");
    ASSERT_TRUE(Parse({"user", "/srv", "add", "alice"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kUserAdd);
    EXPECT_EQ(o.user, "alice");
    ASSERT_TRUE(Parse({"user", "/srv", "remove", "bob"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kUserRemove);
    ASSERT_TRUE(Parse({"serve", "/srv", "--connections", "16", "--head-timeout=2",
                       "--accel-redirect", "/.telvora-files/", "--proxy", "127.0.0.1"},
                      &o));
    EXPECT_EQ(o.connections, 16u);
    EXPECT_EQ(o.headTimeoutSeconds, 2u);
    EXPECT_EQ(o.accelRedirect, "/.telvora-files/");
    EXPECT_EQ(o.proxy, "127.0.0.1");
    ASSERT_TRUE(Parse({"unpublish", "/srv", "数学", "03052301"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kUnpublish);
    EXPECT_EQ(o.course, "数学");
    EXPECT_EQ(o.code, "03052301");
    ASSERT_TRUE(Parse({"list", "/srv"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kList);
    EXPECT_EQ(o.course, "");
    ASSERT_TRUE(Parse({"list", "/srv", "math"}, &o));
    EXPECT_EQ(o.course, "math");
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"serve", "/srv", "--connections", "0"},
          {"serve", "/srv", "--connections", "100001"},
          {"serve", "/srv", "--head-timeout", "x"},
          {"serve", "/srv", "--accel-redirect", "files"},
          {"serve", "/srv", "--proxy", "nginx"},
          {"unpublish", "/srv", "math"},
          {"list", "/srv", "a", "b"}})
        EXPECT_FALSE(Parse(bad, &o)) << bad[2];
    ASSERT_TRUE(Parse({"--help"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kHelp);
    ASSERT_TRUE(Parse({"publish", "--help"}, &o));
    EXPECT_EQ(o.command, EServerCommand::kHelp);
}

TEST(ServerOptionsTest, BadCommandLines) {
    CServerOptions o;
    std::string error;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"start", "/srv"},
        {"serve"},
        {"serve", "--listen", "1.2.3.4:5"},
        {"serve", "/srv", "--listen"},
        {"serve", "/srv", "--listen", "nowhere"},
        {"serve", "/srv", "--timeout", "0"},
        {"serve", "/srv", "--timeout", "ten"},
        {"serve", "/srv", "--verbose"},
        {"publish", "/srv", "--code", "03052301", "--archive", "a"},
        {"publish", "/srv", "--course", "m", "--archive", "a"},
        {"publish", "/srv", "--course", "m", "--code", "03052301"},
        {"publish", "/srv", "--course", "m", "--code", "03052301", "--archive", "a", "--from", "f"},
        {"publish", "/srv", "--course", "m", "--code", "03052301", "--archive"},
        {"publish", "/srv", "extra"},
        {"user", "/srv", "add"},
        {"user", "/srv", "list", "a"},
        {"user", "/srv", "add", "a", "b"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(Parse(args, &o, &error)) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_NE(std::string(UpdateServerUsage()).find("Exit status"), std::string::npos);
}

TEST(AccessLogTest, Lines) {
    EXPECT_EQ(UtcTimeText(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(UtcTimeText(951782400 + 3723), "2000-02-29T01:02:03Z");
    EXPECT_EQ(UtcTimeText(4102444799), "2099-12-31T23:59:59Z");
    EXPECT_EQ(LogSafe("/a b\"c\\d\r\n\x01\x7f"), "/a\\x20b\\x22c\\x5cd\\x0d\\x0a\\x01\\x7f");
    EXPECT_EQ(LogSafe("数"), "\\xca\\xfd");
    EXPECT_EQ(LogSafe(""), "-");

    EXPECT_EQ(CommonLogTime(0), "01/Jan/1970:00:00:00 +0000");
    EXPECT_EQ(CommonLogTime(951782400 + 3723), "29/Feb/2000:01:02:03 +0000");
    EXPECT_EQ(CommonLogTime(4102444799), "31/Dec/2099:23:59:59 +0000");

    // The combined log format, with the user name as sent.
    CAccessRecord r;
    r.when = 0;
    r.clientAddress = "::1";
    r.user = "\xD5\xC5";
    r.method = "GET";
    r.rawUri = "/rdcenter/newweb/sql.asp?fileid=math&userid=\xD5\xC5";
    r.version = "HTTP/1.0";
    r.status = 200;
    r.bytes = 412;
    r.complete = true;
    r.userAgent = "Mozilla/4.0 (compatible; \"x\")";
    EXPECT_EQ(FormatAccessLine(r),
              "::1 - \\xd5\\xc5 [01/Jan/1970:00:00:00 +0000] \"GET "
              "/rdcenter/newweb/sql.asp?fileid=math&userid=\\xd5\\xc5 HTTP/1.0\" 200 412 \"-\" "
              "\"Mozilla/4.0 (compatible; \\x22x\\x22)\"");
    // No answer, nothing sent, no user: dashes.
    r.status = 0;
    r.bytes = 0;
    r.user.clear();
    r.method = "";
    r.userAgent = "a\r\nb";
    EXPECT_EQ(FormatAccessLine(r),
              "::1 - - [01/Jan/1970:00:00:00 +0000] \"- "
              "/rdcenter/newweb/sql.asp?fileid=math&userid=\\xd5\\xc5 HTTP/1.0\" - - \"-\" "
              "\"a\\x0d\\x0ab\"");
}

}  // namespace
