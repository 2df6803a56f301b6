#include <gtest/gtest.h>

#include <string>

#include "resolve/meta_content.h"

using zenvira::resolve::metaContent;

TEST(MetaContent, ReadsTheFirstContentAttribute) {
    EXPECT_EQ(metaContent(R"(<meta name="title" content="My clip">)"), "My clip");
    EXPECT_EQ(metaContent(R"(<meta name="title" content="My clip" />)"), "My clip");
    EXPECT_EQ(metaContent("<meta content=abc>"), "ab");  // unquoted: the last letter goes
    EXPECT_EQ(metaContent(R"(<meta content="a content=b &amp; "q"">)"), "a b &amp; q");
    // Whichever tag comes first wins; nothing is decoded.
    EXPECT_EQ(metaContent(R"(<a content="first"><meta name="title" content="second">)"), "first");
    // The last character dropped is a whole character, not a byte of one.
    EXPECT_EQ(metaContent("<x content=caf\xC3\xA9\xC3\xA9>"), "caf\xC3\xA9");
}

TEST(MetaContent, YieldsTheEmptyTitleWhenThereIsNone) {
    EXPECT_EQ(metaContent("<html>no title here</html>"), "");
    EXPECT_EQ(metaContent(R"(<meta Content="capital">)"), "");
    EXPECT_EQ(metaContent("the content of this page"), "");   // "content" without "="
    EXPECT_EQ(metaContent(R"(<meta content="never closed)"), "");
    EXPECT_EQ(metaContent(R"(<meta content=">)"), "");
}

TEST(MetaContent, WorksBeyondThe32767thCharacter) {
    const std::string far(40000, 'x');
    EXPECT_EQ(metaContent(R"(<meta content="Far away )" + far + R"(">)"), "Far away " + far);
    EXPECT_EQ(metaContent(far + R"(<meta content="Late">)"), "Late");
}
