// Pages of today's video sites: what surrounds the video matters as much as the video tag,
// because a resolver must find the one among thousands of other tags.
#include "tests/site/today_pages.h"

namespace zenvira::site {

namespace {

std::string escapeSlashes(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

std::string head(const std::string& extra) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<link rel=\"stylesheet\" href=\"/static/site.css\">"
           "<style>.card{display:flex}.card>a{color:#333}</style>\n" +
           extra + "</head>\n<body>\n";
}

std::string tail(unsigned seed) { return todayFiller(24 * 1024, seed + 1) + "</body></html>\n"; }

}  // namespace

std::string todayFiller(std::size_t bytes, unsigned seed) {
    std::string text;
    unsigned n = seed * 7919u;
    while (text.size() < bytes) {
        n = n * 1103515245u + 12345u;
        const std::string id = std::to_string(n % 100000);
        text += "<div class=\"card\" data-id=\"" + id + "\"><a href=\"/watch/" + id + "\"><img src=\"/thumbs/" + id +
                ".jpg\" alt=\"Clip " + id + " &amp; friends\" loading=\"lazy\"></a><span class=\"views\">" +
                std::to_string(n % 9999) + " views</span></div>\n";
        if (n % 5 == 0)
            text += "<script>window.dataLayer=window.dataLayer||[];dataLayer.push({\"event\":\"impression\",\"id\":" + id +
                    ",\"html\":\"<div class='ad'>\"});if(a<b&&c>d){}</script>\n";
        if (n % 7 == 0) text += "<!-- recommendation slot " + id + " -->\n";
    }
    return text;
}

std::string videoSourcesPage(const std::string& title, const std::vector<SourceTag>& sources) {
    std::string video = "<div class=\"player\"><video id=\"player\" controls preload=\"metadata\" poster=\"/thumbs/p.jpg\">\n";
    for (const auto& source : sources) {
        video += "  <source src=\"" + source.address + "\"";
        if (!source.type.empty()) video += " type=\"" + source.type + "\"";
        if (!source.labelName.empty()) video += " " + source.labelName + "=\"" + source.labelValue + "\"";
        video += ">\n";
    }
    video += "  <p>Your browser does not play this video.</p>\n</video></div>\n";
    return head("<title>" + title + "</title>\n") + todayFiller(20 * 1024, 1) + video + tail(1);
}

std::string jsonLdPage(const std::string& name, const std::string& contentUrl, int height) {
    const std::string json = "<script type=\"application/ld+json\">\n{\"@context\": \"https://schema.org\", \"@graph\": ["
                             "{\"@type\": \"Organization\", \"name\": \"Clips\"},\n"
                             "{\"@type\": \"VideoObject\", \"name\": \"" + name + "\", \"description\": \"A clip.\","
                             " \"thumbnailUrl\": [\"https://cdn.example.com/t.jpg\"], \"uploadDate\": \"2024-03-01T08:00:00+00:00\","
                             " \"duration\": \"PT0M2S\", \"contentUrl\": \"" + escapeSlashes(contentUrl) + "\","
                             " \"embedUrl\": \"https://www.example.com/embed/77\", \"height\": " + std::to_string(height) +
                             ", \"width\": " + std::to_string(height * 16 / 9) + "}]}\n</script>\n";
    return head("<title>Site name - videos</title>\n" + json) + todayFiller(40 * 1024, 2) + tail(2);
}

std::string openGraphPage(const std::string& ogTitle, const std::string& ogVideo, const std::string& ogType, int ogHeight,
                          const std::string& twitterStream) {
    const std::string meta = "<meta property=\"og:site_name\" content=\"Clips\">\n"
                             "<meta property=\"og:title\" content=\"" + ogTitle + "\">\n"
                             "<meta property=\"og:type\" content=\"video.other\">\n"
                             "<meta property=\"og:image\" content=\"https://cdn.example.com/og.jpg\">\n"
                             "<meta property=\"og:video\" content=\"" + ogVideo + "\">\n"
                             "<meta property=\"og:video:type\" content=\"" + ogType + "\">\n"
                             "<meta property=\"og:video:width\" content=\"" + std::to_string(ogHeight * 16 / 9) + "\">\n"
                             "<meta property=\"og:video:height\" content=\"" + std::to_string(ogHeight) + "\">\n"
                             "<meta name=\"twitter:card\" content=\"player\">\n"
                             "<meta name=\"twitter:player\" content=\"https://www.example.com/embed/77\">\n"
                             "<meta name=\"twitter:player:stream\" content=\"" + twitterStream + "\">\n"
                             "<meta name=\"twitter:player:stream:content_type\" content=\"video/mp4\">\n";
    return head("<title>Clips: " + ogTitle + "</title>\n" + meta) + todayFiller(40 * 1024, 3) + tail(3);
}

std::string playerScriptPage(const std::string& title, const std::string& playlistAddress) {
    const std::string script = "<div id=\"player-root\"></div>\n<script>\nwindow.__PLAYER_CONFIG__ = JSON.parse(\"{\\\"autoplay\\\":false,"
                               "\\\"sources\\\":{\\\"hls\\\":\\\"" + escapeSlashes(playlistAddress) + "\\\"},\\\"muted\\\":true}\");\n"
                               "player.init(document.getElementById('player-root'), window.__PLAYER_CONFIG__);\n</script>\n";
    return head("<title>" + title + "</title>\n") + todayFiller(30 * 1024, 4) + script + tail(4);
}

std::string pageWithoutVideo(const std::string& title) {
    return head("<title>" + title + "</title>\n<meta property=\"og:title\" content=\"" + title + "\">\n") +
           todayFiller(40 * 1024, 5) + tail(5);
}

}  // namespace zenvira::site
