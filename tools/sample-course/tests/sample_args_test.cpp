// telvora-sample-course's command line.
#include "tools/sample-course/sample_args.h"

#include <gtest/gtest.h>

namespace {

TEST(SampleArgsTest, FilesAloneKeepTheLargeCdsFileSize) {
    CSampleArgs parsed;
    std::string error;
    ASSERT_EQ(ParseSampleArgs({"out", "--files", "50", "--read-only"}, &parsed, &error),
              EToolParse::kRun);
    EXPECT_EQ(parsed.dir, "out");
    EXPECT_EQ(parsed.options.bulkFiles, 50);
    EXPECT_EQ(parsed.options.bulkMegabytes, 2);
    EXPECT_TRUE(parsed.options.readOnly);
}

TEST(SampleArgsTest, UsageErrorsSayWhat) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "DIR is needed"},
        {{"a", "b"}, "only one folder may be given"},
        {{"a", "--bogus"}, "unknown option --bogus"},
        {{"a", "--files"}, "--files needs a number"},
        {{"a", "--megabytes", "-1"}, "--megabytes needs a number"},
        {{"a", "--name", "\xE0\xB8\x81"},
         "the course name holds characters that GBK can't represent"},
    };
    for (const auto& [args, message] : cases) {
        CSampleArgs parsed;
        std::string error;
        EXPECT_EQ(ParseSampleArgs(args, &parsed, &error), EToolParse::kUsageError) << message;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
