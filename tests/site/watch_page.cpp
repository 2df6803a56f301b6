// Watch pages in the shape of the 2010 video site: the title meta first, tens of KB of
// markup and script, and the player configuration with its format list and address map.
#include <array>
#include <cstdio>

#include "tests/site/fixture_site.h"

namespace zenvira::site {

namespace {

// A deterministic stream of pseudo-random numbers, so every page is the same byte for byte.
class Dice {
public:
    explicit Dice(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

    // An 11-character video id.
    std::string videoId() {
        static constexpr char kAlphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
        std::string id;
        for (int i = 0; i < 11; ++i) id += kAlphabet[below(64)];
        return id;
    }

    std::string hex(std::size_t digits) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string text;
        for (std::size_t i = 0; i < digits; ++i) text += kHex[below(16)];
        return text;
    }

private:
    std::uint64_t state_;
};

std::uint64_t hashText(const std::string& text) {
    std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
    for (const unsigned char c : text) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

constexpr std::array<const char*, 16> kWords = {
    "Harbour", "Sunset", "Live", "Session", "Acoustic", "Cover", "Official", "Trailer",
    "Timelapse", "City", "Night", "Drive", "Lesson", "Guitar", "Piano", "Mountains"};
constexpr std::array<const char*, 8> kUsers = {"harbourfilms", "northcoastmusic", "dailyclips2010",
                                               "pianolessonsuk", "timelapsecity", "roadtripvideos",
                                               "bandrehearsals", "seasideviews"};

std::string clipName(Dice& dice) {
    std::string name;
    for (std::size_t i = 0, n = 2 + dice.below(4); i < n; ++i) {
        if (i > 0) name += ' ';
        name += kWords[dice.below(kWords.size())];
    }
    return name;
}

std::string duration(Dice& dice) {
    char text[16];
    std::snprintf(text, sizeof text, "%zu:%02zu", 1 + dice.below(9), dice.below(60));
    return text;
}

std::string withThousands(std::size_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string escapeSlashes(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

// Everything up to the player. Double quotes are never followed by a comma here, and the
// player's markers appear nowhere.
std::string headAndSidebar(const WatchPageShape& watch, std::size_t budget, Dice& dice) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\" dir=\"ltr\">\n<head>\n";
    page += "<meta name=\"title\" content=\"" + watch.title + "\">\n";
    page += "<title>YouTube        - " + watch.title + "</title>\n";
    page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n";
    page += "<meta name=\"description\" content=\"" + watch.title + " uploaded by " + kUsers[0] + "\">\n";
    page += "<meta name=\"keywords\" content=\"video clip music\">\n";
    page += "<link rel=\"icon\" href=\"http://s.ytimg.com/yt/favicon-vfl1123.ico\" type=\"image/x-icon\">\n";
    page += "<link rel=\"stylesheet\" href=\"http://s.ytimg.com/yt/cssbin/www-core-vfl199476.css\">\n";
    page += "<script>\nvar yt = yt || {};\nyt.timing = {};\nyt.timing.values = {'start': (new Date()).getTime()};\n"
            "function addTimingValue(name) { yt.timing.values[name] = (new Date()).getTime(); }\n"
            "var gYouTubeEnableFlash = true;\n</script>\n";
    page += "<script src=\"http://s.ytimg.com/yt/jsbin/www-core-vfl199476.js\"></script>\n</head>\n";
    page += "<body id=\"\" class=\"date-20101120 en_US ltr\" dir=\"ltr\">\n<div id=\"page\" class=\"watch\">\n"
            "<div id=\"masthead\" class=\"\"><a href=\"/\" class=\"logo\"><img id=\"logo\" "
            "src=\"http://s.ytimg.com/yt/img/pixel-vfl73.gif\" alt=\"YouTube\"></a>\n"
            "<form id=\"masthead-search\" action=\"/results\" method=\"get\" onsubmit=\"return yt.www.search.submit(this)\">"
            "<input id=\"masthead-search-term\" type=\"text\" name=\"search_query\" value=\"\" maxlength=\"128\">"
            "<button type=\"submit\" class=\"search-button yt-uix-button\">Search</button></form></div>\n";
    page += "<div id=\"watch-sidebar\"><ul id=\"watch-related\" class=\"video-list\">\n";
    for (std::size_t n = 1; page.size() < budget; ++n) {
        const std::string id = dice.videoId();
        const std::string name = clipName(dice);
        page += "<li class=\"video-list-item\"><a href=\"/watch?v=" + id +
                "&amp;feature=related\" class=\"related-video yt-uix-contextlink\">"
                "<span class=\"ux-thumb-wrap\"><span class=\"video-thumb ux-thumb-96\"><span class=\"clip\">"
                "<img src=\"http://i" + std::to_string(1 + n % 4) + ".ytimg.com/vi/" + id +
                "/default.jpg\" alt=\"Thumbnail\" width=\"120\" height=\"90\"></span></span>"
                "<span class=\"video-time\">" + duration(dice) + "</span></span>"
                "<span dir=\"ltr\" class=\"title\" title=\"" + name + "\">" + name + "</span>"
                "<span class=\"stat attribution\">by <span class=\"yt-user-name\" dir=\"ltr\">" +
                kUsers[dice.below(kUsers.size())] + "</span></span>"
                "<span class=\"stat view-count\">" + withThousands(100 + dice.below(2000000)) +
                " views</span></a></li>\n";
    }
    page += "</ul></div>\n";
    return page;
}

std::string playerConfig(const WatchPageShape& watch) {
    std::string list;
    std::string map;
    for (const auto& format : watch.formats) {
        if (!list.empty()) list += ',';
        if (!map.empty()) map += ',';
        list += format.code + "\\/" + format.frameSize + "\\/9\\/0\\/115";
        map += format.code + "|" + escapeSlashes(format.address);
    }
    return "<div id=\"watch-player\" class=\"flash-player\"></div>\n<script>\n"
           "var swfConfig = {\"url\": \"http:\\/\\/s.ytimg.com\\/yt\\/swf\\/watch_as3-vfl199476.swf\", "
           "\"args\": {\"enablejsapi\": 1, \"fmt_list\": \"" + list + "\", \"length_seconds\": \"213\", "
           "\"fmt_url_map\": \"" + map + "\", \"csi_page_type\": \"watch\", "
           "\"keywords\": \"video,clip,music\"}};\n"
           "yt.flash.embed('watch-player', swfConfig);\n</script>\n";
}

// Comments, footer and the late scripts.
std::string commentsAndFooter(const WatchPageShape& watch, std::size_t budget, Dice& dice) {
    std::string page = "<div id=\"watch-info\"><h1 id=\"watch-headline-title\"><span class=\"long-title\" dir=\"ltr\">" +
                       watch.title + "</span></h1>\n<div id=\"watch-views\"><strong>" +
                       withThousands(1000 + dice.below(900000)) + "</strong> views</div></div>\n";
    page += "<div id=\"comments-view\"><ul class=\"comment-list\">\n";
    for (std::size_t n = 1; page.size() < budget; ++n) {
        const std::string user = kUsers[dice.below(kUsers.size())];
        page += "<li class=\"comment\" data-author-viewing=\"\" data-id=\"" + dice.hex(16) +
                "\" data-score=\"" + std::to_string(dice.below(40)) + "\"><div class=\"metadata\">"
                "<a href=\"/user/" + user + "\" class=\"author\">" + user + "</a> <span class=\"time\">" +
                std::to_string(1 + dice.below(11)) + " months ago</span></div>"
                "<div class=\"comment-text\" dir=\"ltr\"><p>" + clipName(dice) + ", " + clipName(dice) +
                " - great " + kWords[dice.below(kWords.size())] + "!</p></div>"
                "<script>yt.www.comments.init({\"id\": \"" + dice.hex(16) + "\", \"page\": " +
                std::to_string(n) + ", \"author\": \"" + user + "\"});</script></li>\n";
    }
    page += "</ul></div>\n</div>\n";
    page += "<div id=\"footer\"><a href=\"/t/about\">About YouTube</a> <a href=\"/t/privacy\">Privacy</a>"
            " <a href=\"/t/terms\">Terms of Service</a></div>\n";
    page += "<script>yt.setConfig({\"PAGE_NAME\": \"watch\", \"SHARE_ON_FB\": true, \"LIST_AUTO_PLAY\": false});\n"
            "addTimingValue('tpr');\n</script>\n</body>\n</html>\n";
    return page;
}

}  // namespace

std::string makeWatchPage(const WatchPageShape& watch) {
    Dice dice(hashText(watch.title));
    const std::size_t beforeBudget = watch.fillerBytes * 2 / 5;
    std::string page = headAndSidebar(watch, beforeBudget, dice);
    page += playerConfig(watch);
    page += commentsAndFooter(watch, watch.fillerBytes - beforeBudget, dice);
    return page;
}

std::string streamAddress(const std::string& streamId, const std::string& host) {
    Dice dice(hashText(streamId));
    const std::string signature = dice.hex(40) + "." + dice.hex(40);
    return "http://" + host + "/videoplayback?ip=0.0.0.0\\u0026sparams=id%2Cexpire%2Cip%2Cipbits%2Citag"
           "\\u0026itag=34\\u0026ipbits=0\\u0026expire=1290000000\\u0026signature=" + signature +
           "\\u0026id=" + streamId;
}

}  // namespace zenvira::site
