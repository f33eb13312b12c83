// What request targets name, and that hostile ones name nothing.
#include <gtest/gtest.h>

#include "tools/update-server/request_route.h"

namespace {

TEST(RequestRouteTest, TheQuery) {
    CRoute r = RouteRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=a");
    EXPECT_EQ(r.kind, ERouteKind::kQuery);
    EXPECT_EQ(r.query, "fileid=math&versnumber=0&userid=a");
    EXPECT_EQ(RouteRequest("/rdcenter/newweb/sql.asp").kind, ERouteKind::kQuery);
    EXPECT_EQ(RouteRequest("/rdcenter/newweb/sql%2Easp?x").kind, ERouteKind::kQuery);
    EXPECT_EQ(RouteRequest("/rdcenter/newweb/SQL.ASP").kind, ERouteKind::kNotFound);
}

TEST(RequestRouteTest, ArchivesByPlainAndEscapedCourseNames) {
    CRoute r = RouteRequest("/rdcenter/newweb/math/03052301.rar");
    ASSERT_EQ(r.kind, ERouteKind::kArchive);
    EXPECT_EQ(r.courses, std::vector<std::string>{"math"});
    EXPECT_EQ(r.code, "03052301");
    r = RouteRequest("/rdcenter/newweb/%CA%FD%D1%A7/03052301.rar?x=1");
    ASSERT_EQ(r.kind, ERouteKind::kArchive);
    EXPECT_EQ(r.courses.at(0), "数学");
    r = RouteRequest("/rdcenter/newweb/a%2Erar%20%26%20b/03052301.rar");
    ASSERT_EQ(r.kind, ERouteKind::kArchive);
    EXPECT_EQ(r.courses.at(0), "a.rar & b");
    // A course may be called "explain".
    r = RouteRequest("/rdcenter/newweb/explain/03052301.rar");
    ASSERT_EQ(r.kind, ERouteKind::kArchive);
    EXPECT_EQ(r.courses.at(0), "explain");
}

TEST(RequestRouteTest, ExplanationPagesByEachSeparator) {
    for (const char* target : {"/rdcenter/newweb/explain/math\\03052301.htm",
                               "/rdcenter/newweb/explain/math%5C03052301.htm",
                               "/rdcenter/newweb/explain/math%5c03052301.htm",
                               "/rdcenter/newweb/explain/math/03052301.htm"}) {
        const CRoute r = RouteRequest(target);
        ASSERT_EQ(r.kind, ERouteKind::kExplain) << target;
        EXPECT_EQ(r.courses, std::vector<std::string>{"math"});
        EXPECT_EQ(r.code, "03052301");
    }
    // GBK course names, raw and escaped; 乗 ends in the byte 0x5C.
    CRoute r = RouteRequest("/rdcenter/newweb/explain/乗\\03052301.htm");
    ASSERT_EQ(r.kind, ERouteKind::kExplain);
    EXPECT_EQ(r.courses.at(0), "乗");
    r = RouteRequest("/rdcenter/newweb/explain/%CA%FD%D1%A7%5C03052301.htm");
    ASSERT_EQ(r.kind, ERouteKind::kExplain);
    EXPECT_EQ(r.courses.at(0), "数学");
    // Without a separator the 0x5C of 乗 is no backslash.
    EXPECT_EQ(RouteRequest("/rdcenter/newweb/explain/x乗03052301.htm").kind, ERouteKind::kNotFound);
    // A browser sends a GBK page's link as UTF-8: the GBK name is offered too.
    r = RouteRequest("/rdcenter/newweb/explain/%E6%95%B0%E5%AD%A6/03052301.htm");
    ASSERT_EQ(r.kind, ERouteKind::kExplain);
    EXPECT_EQ(r.courses.back(), "数学");
}

TEST(RequestRouteTest, HostileTargetsNameNothing) {
    for (const char* target : {
             "/rdcenter/newweb/../03052301.rar",
             "/rdcenter/newweb/../../etc/03052301.rar",
             "/rdcenter/newweb/%2e%2e/03052301.rar",
             "/rdcenter/newweb/%2E%2E/03052301.rar",
             "/rdcenter/newweb/explain/..\\03052301.htm",
             "/rdcenter/newweb/explain/%2e%2e%5c03052301.htm",
             "/rdcenter/newweb/explain/../../03052301.htm",
             "/rdcenter/newweb//etc/03052301.rar",
             "/rdcenter/newweb/math/../math/03052301.rar",
             "/rdcenter/newweb/math%2F..%2Fx/03052301.rar",
             "/rdcenter/newweb/c:/03052301.rar",
             "/rdcenter/newweb/ma%00th/03052301.rar",
             "/rdcenter/newweb/math/03052301.rar%00.htm",
             "/rdcenter/newweb/math/0305230.rar",
             "/rdcenter/newweb/math/03052301.RAR",
             "/rdcenter/newweb/math/03052301.htm",
             "/rdcenter/newweb/math\\03052301.rar",
             "/rdcenter/newweb/explain/math03052301.htm",
             "/rdcenter/newweb/03052301.rar",
             "/rdcenter/newweb/",
             "/rdcenter/newweb/users.txt",
             "/rdcenter/newweb/courses/math/index.txt",
             "/rdcenter/newwebmath/03052301.rar",
             "/math/03052301.rar",
             "http://host/rdcenter/newweb/math/03052301.rar",
             "",
             "*",
         }) {
        EXPECT_EQ(RouteRequest(target).kind, ERouteKind::kNotFound) << target;
    }
}

TEST(RequestRouteTest, CourseNameCandidates) {
    EXPECT_EQ(CourseNameCandidates("math"), std::vector<std::string>{"math"});
    EXPECT_EQ(CourseNameCandidates("数学"), std::vector<std::string>{"数学"});
    EXPECT_TRUE(CourseNameCandidates("..").empty());
    EXPECT_TRUE(CourseNameCandidates("/").empty());
    EXPECT_TRUE(CourseNameCandidates("\\").empty());
    EXPECT_TRUE(CourseNameCandidates("").empty());
    EXPECT_EQ(CourseNameCandidates("\xE6\x95\xB0\xE5\xAD\xA6").back(), "数学");
}

}  // namespace
