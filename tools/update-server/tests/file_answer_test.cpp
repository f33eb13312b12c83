// Answers from a file: validators, 304, ranges, dates.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/update-server/file_answer.h"

namespace fs = std::filesystem;

namespace {

CHttpRequest Req(const std::string& method, const std::string& uri) {
    CHttpRequest r;
    r.method = method;
    r.rawUri = uri;
    return r;
}

class FileAnswerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tv-file-answer-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = fs::canonical(pattern).string();
        std::ofstream(m_dir + "/a.rar", std::ios::binary) << std::string(1000, 'x');
        fs::last_write_time(m_dir + "/a.rar",
                            fs::file_time_type::clock::from_sys(
                                std::chrono::sys_seconds(std::chrono::seconds(784111777))));
    }
    void TearDown() override { fs::remove_all(m_dir); }
    CHttpResponse Answer(const CHttpRequest& request) {
        auto file = std::make_shared<CServedFile>();
        EXPECT_TRUE(OpenServedFile(m_dir + "/a.rar", m_dir, file.get()));
        return FileResponse(request, file, "application/x-rar-compressed", "public");
    }
    static std::string HeaderOf(const CHttpResponse& r, const std::string& name) {
        for (const auto& [n, v] : r.headers)
            if (n == name)
                return v;
        return "";
    }
    std::string m_dir;
};

TEST(HttpDateTest, FormsAndBack) {
    EXPECT_EQ(HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(HttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    std::int64_t t = 0;
    ASSERT_TRUE(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT", &t));
    EXPECT_EQ(t, 784111777);
    ASSERT_TRUE(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT", &t));
    EXPECT_EQ(t, 784111777);
    ASSERT_TRUE(ParseHttpDate("Sun Nov  6 08:49:37 1994", &t));
    EXPECT_EQ(t, 784111777);
    for (const char* bad :
         {"", "yesterday", "Sun, 06 Nov 1994 08:49 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
          "Sun, 32 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 1994 25:49:37 GMT",
          "Sun, 06 Nov 99999999999999999999 08:49:37 GMT"})
        EXPECT_FALSE(ParseHttpDate(bad, &t)) << bad;
}

TEST_F(FileAnswerTest, WholeFileWithValidators) {
    const CHttpResponse r = Answer(Req("GET", "/a.rar"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.fileOffset, 0u);
    EXPECT_EQ(r.fileLength, 1000u);
    EXPECT_EQ(HeaderOf(r, "Last-Modified"), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(HeaderOf(r, "Cache-Control"), "public");
    EXPECT_EQ(HeaderOf(r, "Accept-Ranges"), "bytes");
    EXPECT_EQ(HeaderOf(r, "ETag").front(), '"');
}

TEST_F(FileAnswerTest, NotModifiedForACurrentCopy) {
    const std::string tag = HeaderOf(Answer(Req("GET", "/a.rar")), "ETag");
    CHttpRequest request = Req("GET", "/a.rar");
    request.ifNoneMatch = "\"other\", " + tag;
    CHttpResponse r = Answer(request);
    EXPECT_EQ(r.status, 304);
    EXPECT_FALSE(r.file);
    EXPECT_EQ(HeaderOf(r, "ETag"), tag);
    request.ifNoneMatch = "W/" + tag;
    EXPECT_EQ(Answer(request).status, 304);
    request.ifNoneMatch = "\"other\"";
    // If-None-Match decides over the date when both are sent.
    request.ifModifiedSince = "Sun, 06 Nov 1994 08:49:37 GMT";
    EXPECT_EQ(Answer(request).status, 200);
    request.ifNoneMatch.clear();
    EXPECT_EQ(Answer(request).status, 304);
    request.ifModifiedSince = "Sun, 06 Nov 1994 08:49:36 GMT";
    EXPECT_EQ(Answer(request).status, 200);
    request.ifModifiedSince = "garbage";
    EXPECT_EQ(Answer(request).status, 200);
}

TEST_F(FileAnswerTest, OneRangeOrTheWholeFile) {
    CHttpRequest request = Req("GET", "/a.rar");
    auto range = [&](const std::string& header) {
        request.range = header;
        return Answer(request);
    };
    CHttpResponse r = range("bytes=10-19");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.fileOffset, 10u);
    EXPECT_EQ(r.fileLength, 10u);
    EXPECT_EQ(HeaderOf(r, "Content-Range"), "bytes 10-19/1000");
    r = range("bytes=990-");
    EXPECT_EQ(r.fileLength, 10u);
    r = range("bytes=-5");
    EXPECT_EQ(r.fileOffset, 995u);
    EXPECT_EQ(HeaderOf(r, "Content-Range"), "bytes 995-999/1000");
    r = range("bytes=-5000");
    EXPECT_EQ(r.fileOffset, 0u);
    EXPECT_EQ(r.fileLength, 1000u);
    r = range("bytes=900-99999999999999");
    EXPECT_EQ(HeaderOf(r, "Content-Range"), "bytes 900-999/1000");
    // Past the end: 416 with the size.
    for (const char* past : {"bytes=1000-", "bytes=5000-6000", "bytes=-0"}) {
        r = range(past);
        EXPECT_EQ(r.status, 416) << past;
        EXPECT_EQ(HeaderOf(r, "Content-Range"), "bytes */1000") << past;
        EXPECT_FALSE(r.file);
    }
    // Several ranges, other units or nonsense: the whole file.
    for (const char* whole : {"bytes=0-1,5-6", "items=0-1", "bytes=5-1", "bytes=a-b",
                              "bytes=", "bytes=-", "bytes=99999999999999999999999-"}) {
        r = range(whole);
        EXPECT_EQ(r.status, 200) << whole;
        EXPECT_EQ(r.fileLength, 1000u) << whole;
    }
    // A range counts only for the copy the client has.
    request.ifRange = "\"stale\"";
    EXPECT_EQ(range("bytes=0-0").status, 200);
    request.ifRange = HeaderOf(Answer(Req("GET", "/a.rar")), "ETag");
    EXPECT_EQ(range("bytes=0-0").status, 206);
    request.ifRange = "Sun, 06 Nov 1994 08:49:37 GMT";
    EXPECT_EQ(range("bytes=0-0").status, 206);
    request.ifRange = "Sun, 06 Nov 1994 08:49:36 GMT";
    EXPECT_EQ(range("bytes=0-0").status, 200);
}

}  // namespace
