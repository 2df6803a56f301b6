#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resolve/page_resolver.h"

using namespace zenvira::resolve;
using Strings = std::vector<std::string>;

namespace {

// A page holding a format list and an address map as a video site writes them (slashes
// escaped), with the given text before them.
std::string page(const std::string& formatList, const std::string& map, const std::string& before = "") {
    return before + "<meta name=\"title\" content=\"Clip\">\n<script>var c = {\"fmt_list\": \"" + formatList +
           "\", \"fmt_url_map\": \"" + map + "\", \"csi_page_type\": \"watch\", \"x\": 1};</script>";
}

const std::string kExampleList = R"(34\/640x360\/99,5\/320x240\/99)";
const std::string kExampleMap = R"(34|http:\/\/host\/a,5|http:\/\/host\/b)";

}  // namespace

TEST(ResolvePage, WorkedExample) {
    const std::string P = page(kExampleList, kExampleMap);
    EXPECT_EQ(cleanFormatList(P, {}), " ,34/640x360/99,5/320x240/99,");
    const auto r = resolvePage(P);
    EXPECT_EQ(r.videoTitle, "Clip");
    EXPECT_EQ(r.List1, (Strings{"no", "no", "no", "34", "5"}));
    EXPECT_EQ(r.List2, (Strings{"http://host/a", "http://host/b", ""}));
    EXPECT_EQ(resolveBestAddress(P).address, "http://host/a");
}

TEST(ResolvePage, AllFiveQualitiesAndOnlyTheLowest) {
    const auto all = resolvePage(page(
        R"(37\/1920x1080\/9\/0\/115,22\/1280x720\/9\/0\/115,35\/854x480\/9\/0\/115,)"
        R"(34\/640x360\/9\/0\/115,5\/320x240\/7\/0\/0)",
        R"(37|http:\/\/h\/37,22|http:\/\/h\/22,35|http:\/\/h\/35,34|http:\/\/h\/34,5|http:\/\/h\/5)"));
    EXPECT_EQ(all.List1, (Strings{"37", "22", "35", "34", "5"}));
    EXPECT_EQ(all.List2, (Strings{"http://h/37", "http://h/22", "http://h/35", "http://h/34", "http://h/5", ""}));

    const auto lowest = resolvePage(page(R"(36\/320x240\/7\/0\/0)", R"(36|http:\/\/h\/36)"));
    EXPECT_EQ(lowest.List1, (Strings{"no", "no", "no", "no", "36"}));
    EXPECT_EQ(lowest.List2, (Strings{"http://h/36", ""}));
    // A one-digit code at the very start leaves no room for its window.
    EXPECT_EQ(resolvePage(page(R"(5\/320x240\/7\/0\/0)", R"(5|http:\/\/h\/5)")).List1, (Strings(5, "no")));
}

TEST(ResolvePage, CodeWindowsOfFiveCharacters) {
    // Row 0 always reads the start of the list, even when 1920x1080 is not its first entry.
    EXPECT_EQ(qualityCodes(" ,18/640x360/9,37/1920x1080/9,", defaultQualityTable())[0], "18");
    // A two-digit code with its neighbour's tail in the window; a three-digit code fills it.
    EXPECT_EQ(qualityCodes(" ,100/1280x720/9,", defaultQualityTable())[1], "100");
    // The label too close to the start for a window: not offered.
    EXPECT_EQ(qualityCodes("4/1280x720/", defaultQualityTable())[1], "no");
    // No slash in the window, or the slash before the comma: the window itself.
    EXPECT_EQ(qualityCodes(" ,abcde1280x720", defaultQualityTable())[1], "abcde");
    EXPECT_EQ(qualityCodes("x9/9,1280x720", defaultQualityTable())[1], "x9/9,");
    EXPECT_EQ(qualityCodes("x99/9,1280x720", defaultQualityTable())[1], "99/9,");
    // No comma: the text before the slash; the slash straight after the comma: empty, so no.
    EXPECT_EQ(qualityCodes("x  45/1280x720", defaultQualityTable())[1], "45");
    EXPECT_EQ(qualityCodes("xxx,/1280x720", defaultQualityTable())[1], "no");
    // The window counts characters, not bytes: four characters (five bytes) are too few.
    EXPECT_EQ(qualityCodes("\xC3\xA9,7/1280x720", defaultQualityTable())[1], "no");
    EXPECT_EQ(qualityCodes("a\xC3\xA9,7/1280x720", defaultQualityTable())[1], "7");
}

TEST(ResolvePage, BestCodeThatEndsALongerCode) {
    // "5|http" first matches inside the entry of 45, so the cut starts there.
    const auto r = resolvePage(page(R"(45\/176x144\/99,5\/320x240\/99)", R"(45|http:\/\/h\/45,5|http:\/\/h\/5)"));
    EXPECT_EQ(r.List1.back(), "5");
    EXPECT_EQ(r.List2, (Strings{"http://h/45", "http://h/5", ""}));
}

TEST(ResolvePage, AddressesAreCutNotDecoded) {
    const auto r = resolvePage(page(R"(36\/320x240\/99)",
                                    R"(36|http:\/\/h\/v?a=1\u0026sparams=id%2Cip,x=2\/y,18|HTTP:\/\/Host\/Up)"));
    // A comma splits an address; a capital scheme is found and keeps its case; \u0026 stays.
    EXPECT_EQ(r.List2, (Strings{R"(http://h/v?a=1\u0026sparams=id%2Cip)", "x=2/y", "HTTP://Host/Up", ""}));
    // The best entry itself is searched case-sensitively.
    EXPECT_TRUE(resolvePage(page(R"(36\/320x240\/99)", R"(36|HTTP:\/\/h\/a)")).List2.empty());
}

TEST(ResolvePage, PagesWithoutUsableStreams) {
    // No markers at all: five "no", nothing cut.
    auto r = resolvePage("<html><body>nothing here</body></html>");
    EXPECT_EQ(r.List1, (Strings(5, "no")));
    EXPECT_TRUE(r.List2.empty());
    EXPECT_FALSE(resolveBestAddress("").address);
    // A quality offered but no entry for its code in the map.
    r = resolvePage(page(R"(36\/320x240\/7)", R"(18|http:\/\/h\/18)"));
    EXPECT_EQ(r.List1.back(), "36");
    EXPECT_TRUE(r.List2.empty());
    // The end marker missing.
    std::string noEnd = page(kExampleList, kExampleMap);
    noEnd.replace(noEnd.find("\"csi_page_type\""), 15, "\"other\"");
    EXPECT_TRUE(resolvePage(noEnd).List2.empty());
    EXPECT_FALSE(resolveBestAddress(noEnd).address);
    // The end marker before the map.
    const std::string swapped = "\"csi_page_type\" " + page(kExampleList, kExampleMap);
    EXPECT_EQ(resolveBestAddress(swapped).address, "http://host/a");
}

TEST(ResolvePage, HugePagesKeepTheirShape) {
    const std::string filler(2 * 1024 * 1024, 'x');
    const std::string P = page(kExampleList, kExampleMap, filler);
    const auto r = resolvePage(P);
    EXPECT_EQ(r.List2, (Strings{"http://host/a", "http://host/b", ""}));
    EXPECT_EQ(r.videoTitle, "Clip");
}

TEST(ResolveBestAddress, TakesOnlyTheFirstPieceAndItsOwnPage) {
    const auto first = resolveBestAddress(page(R"(22\/1280x720\/9,34\/640x360\/9)",
                                               R"(22|http:\/\/h\/hd,34|http:\/\/h\/sd)"));
    const auto second = resolveBestAddress(page(R"(34\/640x360\/99,5\/320x240\/99)",
                                                R"(34|http:\/\/h\/other,5|http:\/\/h\/low)"));
    EXPECT_EQ(first.address, "http://h/hd");
    EXPECT_EQ(first.List1, (Strings{"no", "22", "no", "34", "no"}));
    EXPECT_EQ(second.address, "http://h/other");
    EXPECT_EQ(second.List1, (Strings{"no", "no", "no", "34", "5"}));
}
