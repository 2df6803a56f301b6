// Bodies in other character sets come out as UTF-8: the header's charset, a <meta>
// declaration, the windows-1252 fallback, and repair of broken UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/page_fetch/charset_convert.h"
#include "engine/page_fetch/page_fetch.h"
#include "engine/page_fetch/utf8_text.h"
#include "tests/page_fetch/proxy_environment.h"
#include "tests/site/fixture_site.h"

namespace zenvira::components {
namespace {

struct CharsetCase {
    const char* name;
    std::string contentType;
    std::string body;
    std::string expected;
};

const std::string kFffd = "\xEF\xBF\xBD";

std::vector<CharsetCase> charsetCases() {
    const std::string farDown(2100, ' ');
    return {
        {"latin1 header", "text/html; charset=ISO-8859-1", "caf\xE9 na\xEFve", "caf\xC3\xA9 na\xC3\xAFve"},
        {"windows-1252 header", "text/html; charset=windows-1252", "\x93quoted\x94 \x80" "5",
         "\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC" "5"},
        {"Shift_JIS header keeps backslash", "text/html; charset=Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA \\ ~",
         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \\ ~"},
        {"quoted odd spelling of UTF-8", "text/html; Charset=\"UTF8\"", "\xE6\x97\xA5", "\xE6\x97\xA5"},
        {"invalid UTF-8 repaired", "text/html; charset=utf-8", "ok \xFF\xC3( \xED\xA0\x80 end\xE2\x82",
         "ok " + kFffd + kFffd + "( " + kFffd + kFffd + kFffd + " end" + kFffd},
        {"meta charset", "text/html", "<html><head><meta charset=\"windows-1252\"></head>caf\xE9</html>",
         "<html><head><meta charset=\"windows-1252\"></head>caf\xC3\xA9</html>"},
        {"meta http-equiv", "text/html",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=shift_jis\">\x93\xFA",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=shift_jis\">\xE6\x97\xA5"},
        {"header wins over meta", "text/html; charset=utf-8", "<meta charset=\"shift_jis\">\xE6\x97\xA5",
         "<meta charset=\"shift_jis\">\xE6\x97\xA5"},
        {"meta past 2 KiB ignored", "text/html", farDown + "<meta charset=\"iso-8859-1\">\xC3\xA9",
         farDown + "<meta charset=\"iso-8859-1\">\xC3\xA9"},
        {"undeclared non-UTF-8 read as windows-1252", "text/html", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"undeclared UTF-8 kept", "text/html", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"BOM stripped", "text/html; charset=utf-8", "\xEF\xBB\xBFhello", "hello"},
        {"unknown charset read as UTF-8", "text/html; charset=x-no-such-set", "caf\xC3\xA9 \xFF",
         "caf\xC3\xA9 " + kFffd},
        {"invalid Shift_JIS byte marked", "text/html; charset=shift_jis", "a\xFF" "b", "a" + kFffd + "b"},
    };
}

TEST(PageFetchCharset, BodiesAreConvertedToUtf8) {
    site::FixtureSite site;
    tests::ProxyEnvironment noProxy;
    const auto cases = charsetCases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        site::FixedResponse response;
        response.contentType = cases[i].contentType;
        response.body = cases[i].body;
        site.addFixed("/charset/" + std::to_string(i), response);
    }
    const PageFetch fetcher;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const auto result = fetcher.FetchText(site.localAddress("/charset/" + std::to_string(i)));
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.text, cases[i].expected);
    }
}

TEST(PageFetchCharset, Utf8RepairFollowsTheMaximalSubpartRule) {
    using pagefetch::repairUtf8;
    const std::string emoji = "\xF0\x9F\x98\x80";
    EXPECT_EQ(repairUtf8(emoji + "\xF4\x8F\xBF\xBF"), emoji + "\xF4\x8F\xBF\xBF");  // U+10FFFF is valid
    EXPECT_EQ(repairUtf8("\xC0\xAF"), kFffd + kFffd);                               // overlong '/'
    EXPECT_EQ(repairUtf8("\xF4\x90\x80\x80"), kFffd + kFffd + kFffd + kFffd);      // past U+10FFFF
    EXPECT_EQ(repairUtf8("\xF0\x9F\x98" "x"), kFffd + "x");                          // cut short
    EXPECT_EQ(repairUtf8(std::string(100, 'a') + "\x80"), std::string(100, 'a') + kFffd);
}

TEST(PageFetchCharset, Utf16WithByteOrderMarkIsConverted) {
    EXPECT_EQ(pagefetch::decodeBody(std::string("\xFF\xFE" "h\0i\0", 6), "text/html"), "hi");
    EXPECT_EQ(pagefetch::decodeBody(std::string("\xFE\xFF\0h\0i", 6), "text/html"), "hi");
}

}  // namespace
}  // namespace zenvira::components
