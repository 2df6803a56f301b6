#include "resolve/generic/page_scan.h"

#include <cstring>

namespace zenvira::resolve {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Does the text at `at` start with `word` (lower-case ASCII), in any letter case?
bool startsCaseless(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[at + i]) != word[i]) return false;
    return true;
}

// A tag name ends at a blank, "/" or ">".
bool endsName(std::string_view text, std::size_t at) {
    if (at >= text.size()) return true;
    const char c = text[at];
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '/' || c == '>';
}

bool isTag(std::string_view text, std::size_t lt, std::string_view name) {
    return startsCaseless(text, lt + 1, name) && endsName(text, lt + 1 + name.size());
}

// Position just after the ">" that closes the tag opened at `lt`, skipping quoted values.
std::size_t tagEnd(std::string_view text, std::size_t lt) {
    char quote = 0;
    for (std::size_t i = lt + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return text.size();
}

// Position just after "</name ...>" at or after `from`, or the end of the text.
std::size_t closingEnd(std::string_view text, std::size_t from, std::string_view name) {
    for (std::size_t lt = text.find("</", from); lt != std::string_view::npos; lt = text.find("</", lt + 2)) {
        if (startsCaseless(text, lt + 2, name) && endsName(text, lt + 2 + name.size())) {
            const auto gt = text.find('>', lt);
            return gt == std::string_view::npos ? text.size() : gt + 1;
        }
    }
    return text.size();
}

bool containsCaseless(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i)
        if (startsCaseless(text, i, word)) return true;
    return false;
}

bool isQuote(char c) { return c == '"' || c == '\'' || c == '`'; }

// Characters that cannot stand in an address written in a page.
bool breaksAddress(char c) { return c == '<' || c == '>' || c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

// Every quoted text that holds `mark` (".m3u8", ".mpd"): from the quote before it to the same
// quote after.
void findQuotedAddresses(std::string_view page, std::string_view mark, std::vector<std::string>& out) {
    constexpr std::size_t kLongest = 4096;
    for (std::size_t hit = page.find(mark); hit != std::string_view::npos; hit = page.find(mark, hit + mark.size())) {
        std::size_t open = hit;
        const std::size_t limit = hit > kLongest ? hit - kLongest : 0;
        while (open > limit && !isQuote(page[open - 1]) && !breaksAddress(page[open - 1])) --open;
        if (open == 0 || !isQuote(page[open - 1])) continue;
        const char quote = page[open - 1];
        std::size_t close = hit + mark.size();
        while (close < page.size() && close - open < kLongest && page[close] != quote && !breaksAddress(page[close]))
            ++close;
        if (close >= page.size() || page[close] != quote) continue;
        std::string_view address = page.substr(open, close - open);
        // Inside a JSON text in a script string the quotes are escaped: \"https:\/\/...m3u8\"
        if (address.ends_with('\\')) address.remove_suffix(1);
        if (!address.empty()) out.emplace_back(address);
    }
}

}  // namespace

PageExcerpt excerptPage(std::string_view page) {
    PageExcerpt excerpt;
    std::string head, body;
    bool haveTitle = false;
    std::size_t pos = 0;
    while (pos < page.size()) {
        const void* found = std::memchr(page.data() + pos, '<', page.size() - pos);
        if (!found) break;
        const std::size_t lt = static_cast<std::size_t>(static_cast<const char*>(found) - page.data());
        pos = lt + 1;
        if (startsCaseless(page, lt + 1, "!--")) {
            const auto end = page.find("-->", lt + 4);
            pos = end == std::string_view::npos ? page.size() : end + 3;
        } else if (isTag(page, lt, "meta") || isTag(page, lt, "base")) {
            pos = tagEnd(page, lt);
            head.append(page.substr(lt, pos - lt));
        } else if (isTag(page, lt, "title")) {
            pos = closingEnd(page, tagEnd(page, lt), "title");
            if (!haveTitle) head.append(page.substr(lt, pos - lt));
            haveTitle = true;
        } else if (isTag(page, lt, "video")) {
            pos = closingEnd(page, tagEnd(page, lt), "video");
            body.append(page.substr(lt, pos - lt));
        } else if (isTag(page, lt, "script")) {
            const std::size_t open = tagEnd(page, lt);
            pos = closingEnd(page, open, "script");
            if (containsCaseless(page.substr(lt, open - lt), "ld+json")) head.append(page.substr(lt, pos - lt));
        } else if (isTag(page, lt, "style")) {
            pos = closingEnd(page, tagEnd(page, lt), "style");
        }
    }
    excerpt.html = "<!DOCTYPE html><html><head>" + head + "</head><body>" + body + "</body></html>";
    findQuotedAddresses(page, ".m3u8", excerpt.playlistAddresses);
    findQuotedAddresses(page, ".mpd", excerpt.manifestAddresses);
    return excerpt;
}

}  // namespace zenvira::resolve
