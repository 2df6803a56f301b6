#include <gtest/gtest.h>

#include "app/download_names.h"

using namespace zenvira::app;

TEST(DownloadNames, SanitisesOnlyTheNineCharacters) {
    EXPECT_EQ(sanitiseTitle("Part 1/2: Intro?"), "Part 12 Intro");
    EXPECT_EQ(localFileName(sanitiseTitle("Part 1/2: Intro?")), "\\Part 12 Intro.flv");
    EXPECT_EQ(sanitiseTitle("?^/\\|:*\"$"), "");
    EXPECT_EQ(sanitiseTitle("<b> a.b  c </b>"), "<b> a.b  c <b>");
    EXPECT_EQ(sanitiseTitle("Caf\xC3\xA9 & \xE2\x82\xAC 5"), "Caf\xC3\xA9 & \xE2\x82\xAC 5");
}

TEST(DownloadNames, ControlCharactersGoAndTheVideoIdNamesWhatIsLeftWithoutATitle) {
    EXPECT_EQ(sanitiseTitle("Red\x1b[31m\tTab\nLine\x7f \xc2\x9b end \xc2\xa0"), "Red[31mTabLine  end \xc2\xa0");
    EXPECT_EQ(videoIdOf("http://www.youtube.com/watch?v=abcdefghijk"), "abcdefghijk");
    EXPECT_EQ(videoIdOf("http://www.youtube.com/watch?feature=x&v=abc_def-123&t=5#top"), "abc_def-123");
    EXPECT_EQ(videoIdOf("http://www.youtube.com/watch"), "");
}
