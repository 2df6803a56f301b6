// The argument text and CommandArgument: the whole text with the empty key, nothing trimmed.
#include <gtest/gtest.h>

#include "player/window/command_argument.h"

using zenvira::player::argumentTextOf;
using zenvira::player::CommandArgument;

TEST(CommandArgument, EmptyKeyGivesTheWholeText) {
    EXPECT_EQ(CommandArgument("D:\\My Videos\\a b.flv", ""), "D:\\My Videos\\a b.flv");
    EXPECT_EQ(CommandArgument("\"D:\\v\\clip.flv\"", ""), "\"D:\\v\\clip.flv\"");  // quotes stay
    EXPECT_EQ(CommandArgument(" lead", ""), " lead");                                // blanks stay
    EXPECT_EQ(CommandArgument("", ""), "");
}

TEST(CommandArgument, KeyCutsAfterItsFirstOccurrence) {
    EXPECT_EQ(CommandArgument("/play a.flv /play b.flv", "/play "), "a.flv /play b.flv");
    EXPECT_EQ(CommandArgument("a.flv", "/play"), "");
    EXPECT_EQ(CommandArgument("x/PLAY y", "/play"), "");  // exact comparison
    EXPECT_EQ(CommandArgument("ends with key", "key"), "");
}

TEST(ArgumentText, ProgramDroppedAndWordsJoinedBySingleBlanks) {
    // How a POSIX shell passes an unquoted path with blanks: as several words.
    EXPECT_EQ(argumentTextOf({"/opt/zenvira/zenvira", "/home/u/My", "Videos/a", "b.flv"}), "/home/u/My Videos/a b.flv");
    // How a desktop passes a file (%f): one word, its blanks kept as they are.
    EXPECT_EQ(argumentTextOf({"zenvira", "/home/u/two  blanks.flv"}), "/home/u/two  blanks.flv");
    EXPECT_EQ(argumentTextOf({"zenvira"}), "");
    EXPECT_EQ(argumentTextOf({}), "");
}
