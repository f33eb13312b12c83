#include "tools/setup/setup_options.h"

#include <gtest/gtest.h>

namespace {

TEST(SetupOptionsTest, ReadsEveryOption) {
    SetupOptions o;
    std::string error;
    ASSERT_TRUE(ParseSetupArgs(
        {"--cd-folder", "/srv/cd1", "--drive", "e:", "--dest", "C:\\courses", "--media", "no",
         "--next-cd", "/srv/cd2", "--next-cd", "/srv/cd3", "--reinstall"},
        &o, &error))
        << error;
    EXPECT_EQ(o.cdFolder, "/srv/cd1");
    EXPECT_EQ(o.mapDrive, 'E');
    EXPECT_EQ(o.dest, "C:\\courses");
    EXPECT_EQ(o.media, "no");
    EXPECT_EQ(o.nextCds, (std::vector<std::string>{"/srv/cd2", "/srv/cd3"}));
    EXPECT_TRUE(o.reinstall);
    EXPECT_FALSE(o.prepareOnly);

    ASSERT_TRUE(ParseSetupArgs({"--cd", "F:\\", "--prepare-only"}, &o, &error));
    EXPECT_EQ(o.cdDrive, 'F');
    EXPECT_TRUE(o.prepareOnly);
    EXPECT_TRUE(o.cdFolder.empty());

    ASSERT_TRUE(ParseSetupArgs({}, &o, &error));
    EXPECT_EQ(o.cdDrive, 0);
    EXPECT_TRUE(o.media.empty());
}

TEST(SetupOptionsTest, ReadsTheRemovalAndTheMenuChoice) {
    SetupOptions o;
    std::string error;
    ASSERT_TRUE(ParseSetupArgs({"--uninstall", "hx01"}, &o, &error)) << error;
    EXPECT_EQ(o.uninstall, "hx01");
    EXPECT_FALSE(o.yes);
    ASSERT_TRUE(ParseSetupArgs({"--yes", "--uninstall", "my course"}, &o, &error)) << error;
    EXPECT_EQ(o.uninstall, "my course");
    EXPECT_TRUE(o.yes);
    ASSERT_TRUE(ParseSetupArgs({"--cd-folder", "/srv/cd1", "--no-menu-entry"}, &o, &error));
    EXPECT_TRUE(o.noMenuEntry);
    EXPECT_TRUE(o.uninstall.empty());
}

TEST(SetupOptionsTest, RefusesBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--cd"},                                // value missing
        {"--cd", "EE"},                          // not a letter
        {"--cd", "1:"},                          //
        {"--cd", "E:", "--cd-folder", "/x"},     // both sources
        {"--drive", "E:"},                       // --drive without a folder
        {"--cd-folder", "/x", "--drive", "Z:"},  // beyond where the installer looks
        {"--media", "maybe"},                    //
        {"--next-cd", "/a\tb"},                  // one rule a line in an answer file
        {"--cd-folder", "/a\nb"},                //
        {"--frobnicate"},                        //
        {"extra"},                               //
        {"--uninstall"},                         // which course?
        {"--uninstall", ""},                     //
        {"--uninstall", "hx01", "--cd", "E:"},   // removal and installation at once
        {"--uninstall", "hx01", "--reinstall"},  //
        {"--uninstall", "hx01", "--no-menu-entry"},
        {"--yes"},  // nothing to say yes to
        {"--cd-folder", "/x", "--yes"},
    };
    for (const auto& args : bad) {
        SetupOptions o;
        std::string error;
        EXPECT_FALSE(ParseSetupArgs(args, &o, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SetupOptionsTest, UsageErrorsSayWhatAndHelpStopsTheReading) {
    SetupOptions o;
    std::string error;
    EXPECT_FALSE(ParseSetupArgs({"--cd=E:"}, &o, &error));  // a value is the next argument
    EXPECT_EQ(error, "unknown argument --cd=E:");
    EXPECT_FALSE(ParseSetupArgs({"--uninstall", ""}, &o, &error));
    EXPECT_EQ(error, "--uninstall needs a value");
    ASSERT_TRUE(ParseSetupArgs({"--cd", "E:", "-h", "--frobnicate", "--yes"}, &o, &error));
    EXPECT_TRUE(o.help);
}

}  // namespace
