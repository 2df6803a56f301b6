// Addresses as pages write them, made absolute.
#include <gtest/gtest.h>

#include "base/web_address/address_text.h"

using namespace zenvira::components;

TEST(AddressText, JoinsLikeABrowser) {
    const std::string base = "http://a/b/c/d;p?q";
    // The examples of RFC 3986, section 5.4.
    EXPECT_EQ(joinAddress(base, "g"), "http://a/b/c/g");
    EXPECT_EQ(joinAddress(base, "./g"), "http://a/b/c/g");
    EXPECT_EQ(joinAddress(base, "g/"), "http://a/b/c/g/");
    EXPECT_EQ(joinAddress(base, "/g"), "http://a/g");
    EXPECT_EQ(joinAddress(base, "//g"), "http://g");
    EXPECT_EQ(joinAddress(base, "?y"), "http://a/b/c/d;p?y");
    EXPECT_EQ(joinAddress(base, "g?y"), "http://a/b/c/g?y");
    EXPECT_EQ(joinAddress(base, "#s"), "http://a/b/c/d;p?q#s");
    EXPECT_EQ(joinAddress(base, ""), "http://a/b/c/d;p?q");
    EXPECT_EQ(joinAddress(base, ".."), "http://a/b/");
    EXPECT_EQ(joinAddress(base, "../g"), "http://a/b/g");
    EXPECT_EQ(joinAddress(base, "../../../g"), "http://a/g");
    EXPECT_EQ(joinAddress(base, "g;x=1/../y"), "http://a/b/c/y");
    EXPECT_EQ(joinAddress(base, "https://other/x"), "https://other/x");
    EXPECT_EQ(joinAddress("http://host", "a.mp4"), "http://host/a.mp4");
    EXPECT_EQ(joinAddress("not an address", "a.mp4"), "");
}

TEST(AddressText, DecodesWhatPagesAndScriptsEscape) {
    EXPECT_EQ(cleanAddress(" https:\\/\\/h\\/a.mp4?x=1\\u0026y=2&amp;z=3 "), "https://h/a.mp4?x=1&y=2&z=3");
    EXPECT_EQ(cleanAddress("a&#38;b&#x26;c&unknown;d&"), "a&b&c&unknown;d&");
    EXPECT_EQ(decodeEntities("&#0;&#xD800;&#99999999;"), "&#0;&#xD800;&#99999999;");  // not characters: kept
    EXPECT_EQ(decodeScriptEscapes("\\u00e9\\x41\\q\\"), "\xC3\xA9" "A\\q\\");
    EXPECT_EQ(addressExtension("http://h/a/B.MP4?x=y.webm"), "mp4");
    EXPECT_EQ(addressExtension("http://h/a.d/stream"), "");
    EXPECT_EQ(addressPath("http://h:8080/a/b?q#f"), "/a/b");
}
