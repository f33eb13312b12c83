// The insert-CD prompt and the media path on the CD.
#include <gtest/gtest.h>

#include "corvane/media_paths.h"

namespace {

MediaLookupValues Course(const std::string& name, const std::string& totalCd,
                         const std::string& cd1) {
    MediaLookupValues v;
    v.courseName = name;
    v.totalCd = totalCd;
    v.cd1 = cd1;
    return v;
}

TEST(MediaPathsTest, PromptNamesTheDiscOnlyForCoursesOfSeveralDiscs) {
    EXPECT_EQ(BuildInsertCdPrompt(Course("X", "1", "5"), "9"), "请将《X》课件的光盘放入光驱中");
    EXPECT_EQ(BuildInsertCdPrompt(Course("X", "2", "5"), "5"),
              "请将《X》课件的第1张光盘放入光驱中");
    EXPECT_EQ(BuildInsertCdPrompt(Course("X", "2", "5"), "6"),
              "请将《X》课件的第2张光盘放入光驱中");
    // Numbers as atoi reads them: blanks, signs, trailing text, no digits.
    EXPECT_EQ(BuildInsertCdPrompt(Course("化学", " 2x", "+5"), " 06章"),
              "请将《化学》课件的第2张光盘放入光驱中");
    EXPECT_EQ(BuildInsertCdPrompt(Course("", "", ""), "3"), "请将《》课件的光盘放入光驱中");
    EXPECT_EQ(BuildInsertCdPrompt(Course("X", "2", "abc"), "-1"),
              "请将《X》课件的第1张光盘放入光驱中");
    // Beyond the range of the integers: held at the end, never undefined.
    EXPECT_EQ(BuildInsertCdPrompt(Course("X", "99999999999999999999", "5"), "99999999999999999999"),
              "请将《X》课件的第2张光盘放入光驱中");
}

TEST(MediaPathsTest, MediaPathStartsAtContentOnTheDrive) {
    EXPECT_EQ(MediaPathOnDrive("E:\\", "../content/lesson1/a.asf"), "E:/content/lesson1/a.asf");
    EXPECT_EQ(WithBackslashes(MediaPathOnDrive("E:\\", "../content/lesson1/a.asf")),
              "E:\\content\\lesson1\\a.asf");
    EXPECT_EQ(MediaPathOnDrive("F:\\", "media/a.asf"), "F:/media/a.asf");
    // Case-sensitive, and the first occurrence counts.
    EXPECT_EQ(MediaPathOnDrive("E:\\", "x/Content/content/a.asf"), "E:/content/a.asf");
    EXPECT_EQ(MediaPathOnDrive("E:\\", "a/content1/content/b.wma"), "E:/content1/content/b.wma");
}

TEST(MediaPathsTest, ContentInsideADoubleByteCharacterIsNoMatch) {
    // A character whose trail byte is 'c' (0x63) followed by "ontent": the
    // bytes spell "content" but no word starts there.
    std::string tricky = "\x81\x63ontent/real/content/a.asf";
    EXPECT_EQ(MediaPathOnDrive("E:\\", tricky), "E:/content/a.asf");
    EXPECT_EQ(WithBackslashes("E:/表/a.asf"), "E:\\表\\a.asf");
}

}  // namespace
