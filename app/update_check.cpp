#include "app/update_check.h"

#include <charconv>

#include "base/product_site.h"
#include "components/html_document/html_document.h"

namespace zenvira::app {

namespace {

bool skipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// The longest leading run of the text that forms a number, blanks left out.
std::string leadingNumber(const std::string& text) {
    std::string number;
    enum { Sign, Whole, Fraction, ExponentSign, Exponent } part = Sign;
    for (const char c : text) {
        if (skipped(c)) continue;
        if (part == Sign && (c == '+' || c == '-')) {
            number += c;
            part = Whole;
        } else if ((part == Sign || part == Whole || part == Fraction) && digit(c)) {
            number += c;
            if (part == Sign) part = Whole;
        } else if ((part == Sign || part == Whole) && c == '.') {
            number += c;
            part = Fraction;
        } else if ((part == Whole || part == Fraction) && (c == 'e' || c == 'E' || c == 'd' || c == 'D')) {
            number += 'e';
            part = ExponentSign;
        } else if (part == ExponentSign && (c == '+' || c == '-' || digit(c))) {
            number += c;
            part = Exponent;
        } else if (part == Exponent && digit(c)) {
            number += c;
        } else {
            break;
        }
    }
    return number;
}

}  // namespace

std::string publishedVersionText(const std::string& pageText) {
    const components::HtmlDocument document(pageText);
    for (const auto& div : document.getElementsByTagName("DIV"))
        if (div.Id() == "mver") return div.innerText();
    return {};
}

double readVersionNumber(const std::string& text) {
    std::string number = leadingNumber(text);
    if (!number.empty() && number[0] == '+') number.erase(0, 1);  // from_chars takes no plus
    double value = 0;
    // Locale-independent (the GUI runs under the user's locale); stops by itself before a bare "e".
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

UpdateCheck checkForNewerVersion(const PageReader& reader) {
    const auto page = reader(base::updatePageAddress(), nullptr);
    if (!page.ok) return {};
    UpdateCheck check;
    check.versionText = publishedVersionText(page.text);
    check.newer = readVersionNumber(check.versionText) > base::appVersion;
    return check;
}

std::string newVersionMessage(const std::string& versionText) {
    return "Zenvira Version " + versionText + " is available, Recommend download and update";
}

components::FetchOptions updatePageFetchOptions() {
    components::FetchOptions options;
    options.connectTimeout = std::chrono::milliseconds(2000);
    options.totalTimeout = std::chrono::milliseconds(2500);
    // The update page is a few hundred bytes; a bound keeps a broken one from stalling start-up.
    options.maxBodyBytes = 64 * 1024;
    return options;
}

}  // namespace zenvira::app
