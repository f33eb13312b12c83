// Entry names: code pages, the RAR separator mix-up, and the checks that keep
// paths inside the destination.
#include "platform/archive/archive_names.h"

#include <gtest/gtest.h>

#include "platform/archive/tests/archive_test_support.h"

using archive_test::U8;
using namespace archive_names;

namespace {

std::vector<std::string> Split(std::string_view name, std::string* reason = nullptr) {
    std::vector<std::string> parts;
    std::string why;
    if (!SplitEntryPath(name, &parts, &why)) {
        if (reason != nullptr)
            *reason = why;
        return {"<refused>"};
    }
    return parts;
}

}  // namespace

TEST(ArchiveNames, RestoresGbkSecondBytesTheRarReaderTurnedIntoSlashes) {
    // "乗" is 81 5C and "俓" 82 5C in GBK; the reader turned every 5C into '/'.
    EXPECT_EQ(RestoreRarNarrowName("top/\x81/a\x82/"), "top/\x81\\a\x82\\");
    // A real separator after a complete double-byte character stays.
    EXPECT_EQ(RestoreRarNarrowName("\xD6\xD0/x"), "\xD6\xD0/x");
    // A character whose second byte is a valid one is not touched, even if
    // that byte is an ASCII letter.
    EXPECT_EQ(RestoreRarNarrowName("\x81\x40/b"), "\x81\x40/b");
    // A lead byte at the very end has nothing to restore.
    EXPECT_EQ(RestoreRarNarrowName("a\x81"), "a\x81");
    EXPECT_EQ(NameToUtf8("top/\x81/a\x82/", ENameForm::kRarNarrow), U8(u8"top/乗a俓"));
}

TEST(ArchiveNames, GuessesUtf8OrGbkPerName) {
    EXPECT_EQ(NameToUtf8(U8(u8"课件/第一课.htm"), ENameForm::kGuess), U8(u8"课件/第一课.htm"));
    EXPECT_EQ(NameToUtf8("\xBF\xCE\xBC\xFE/a", ENameForm::kGuess), U8(u8"课件/a"));
    // GBK with a 5C second byte (no reader mixed it up here).
    EXPECT_EQ(NameToUtf8("\x81\x5C.txt", ENameForm::kGuess), U8(u8"乗.txt"));
    // Bytes valid in neither become '?', never a separator.
    EXPECT_EQ(NameToUtf8("a\xFF", ENameForm::kGuess), "a?");
    EXPECT_EQ(NameToUtf8(U8(u8"已是"), ENameForm::kUtf8), U8(u8"已是"));
}

TEST(ArchiveNames, SplitsOnEitherSeparatorAndDropsEmptyAndDotParts) {
    EXPECT_EQ(Split("a/b\\c.txt"), (std::vector<std::string>{"a", "b", "c.txt"}));
    EXPECT_EQ(Split("./a//b/./"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Split("a b&c/..d/d..e"), (std::vector<std::string>{"a b&c", "..d", "d..e"}));
    EXPECT_EQ(JoinPath(Split("x\\y")), "x/y");
}

TEST(ArchiveNames, RefusesNamesThatLeaveTheDestination) {
    for (const char* name : {"../x", "a/../../x", "a/..", "..", "a\\..\\..\\x", "/abs", "\\abs",
                             "//host/share", "C:\\x", "c:x", "", ".", "./", "a\nb", "a\x7F"}) {
        std::string reason;
        EXPECT_EQ(Split(name, &reason), std::vector<std::string>{"<refused>"}) << name;
        EXPECT_FALSE(reason.empty()) << name;
    }
    // A colon elsewhere is only a character.
    EXPECT_EQ(Split("a/c:x"), (std::vector<std::string>{"a", "c:x"}));
}

TEST(ArchiveNames, KeepsLinksWhoseTargetStaysInside) {
    std::vector<std::string> through;
    std::string reason;
    EXPECT_TRUE(LinkStaysInside({"a", "l"}, "../b/c", &through, &reason));
    EXPECT_EQ(through, (std::vector<std::string>{"b"}));
    EXPECT_TRUE(LinkStaysInside({"l"}, "x", &through, &reason));
    EXPECT_TRUE(through.empty());
    // Every step but the last goes through a folder that must not be a link.
    EXPECT_TRUE(LinkStaysInside({"l"}, "b/../c/./d", &through, &reason));
    EXPECT_EQ(through, (std::vector<std::string>{"b", "c", "c"}));
    EXPECT_TRUE(LinkStaysInside({"l"}, "b/", &through, &reason));
    EXPECT_EQ(through, (std::vector<std::string>{"b"}));
}

TEST(ArchiveNames, RefusesLinksWhoseTargetLeaves) {
    std::vector<std::string> through;
    for (const char* target : {"/etc", "/", "..", "../x", "../../x", "a/../../x", ""}) {
        std::string reason;
        EXPECT_FALSE(LinkStaysInside({"l"}, target, &through, &reason)) << target;
        EXPECT_FALSE(reason.empty()) << target;
    }
    std::string reason;
    EXPECT_FALSE(LinkStaysInside({"a", "b", "l"}, "../../../x", &through, &reason));
    EXPECT_TRUE(LinkStaysInside({"a", "b", "l"}, "../../x", &through, &reason));
}

TEST(ArchiveNames, MakesNamesPrintableOnOneLine) {
    EXPECT_EQ(Printable("a\nb\tc\x7F"), "a\\x0Ab\\x09c\\x7F");
    EXPECT_EQ(Printable(U8(u8"课件 a&b")), U8(u8"课件 a&b"));
}
