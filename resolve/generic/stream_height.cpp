#include "resolve/generic/stream_height.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "base/quality.h"


namespace zenvira::resolve {

namespace {

constexpr std::array<int, 14> kUsualHeights = {144, 180, 240, 270, 288, 360, 480, 540, 576, 720, 1080, 1440, 2160, 4320};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool usual(int height) { return std::find(kUsualHeights.begin(), kUsualHeights.end(), height) != kUsualHeights.end(); }

struct Number {
    int value = 0;
    std::size_t begin = 0, end = 0;
};

// Every run of digits in the text, left to right (runs longer than five digits are skipped).
template <typename Visit>
void eachNumber(std::string_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size();) {
        if (!isDigit(text[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        int value = 0;
        while (j < text.size() && isDigit(text[j])) {
            if (j - i < 6) value = value * 10 + (text[j] - '0');
            ++j;
        }
        if (j - i <= 5 && visit(Number{value, i, j})) return;
        i = j;
    }
}

bool plausible(int height) { return height >= 100 && height <= 4320; }

}  // namespace

int heightFromLabel(std::string_view label) {
    int found = 0;
    // "1280x720" first: the second number is the height.
    eachNumber(label, [&](const Number& n) {
        if (n.end < label.size() && lower(label[n.end]) == 'x' && n.end + 1 < label.size() && isDigit(label[n.end + 1])) {
            std::size_t j = n.end + 1;
            int h = 0;
            while (j < label.size() && isDigit(label[j])) h = h * 10 + (label[j++] - '0');
            if (plausible(h)) found = h;
            return true;
        }
        return false;
    });
    if (found) return found;
    // "720p", "1080p60", "4K".
    eachNumber(label, [&](const Number& n) {
        const char next = n.end < label.size() ? lower(label[n.end]) : '\0';
        if (next == 'p' && plausible(n.value)) found = n.value;
        else if (next == 'k' && (n.end + 1 >= label.size() || !isAlnum(label[n.end + 1])) && (n.value == 4 || n.value == 8))
            found = n.value == 4 ? 2160 : 4320;
        return found != 0;
    });
    if (found) return found;
    // A label that is one plain number: "720".
    eachNumber(label, [&](const Number& n) {
        const bool alone = (n.begin == 0 || !isAlnum(label[n.begin - 1])) && (n.end >= label.size() || !isAlnum(label[n.end]));
        if (alone && plausible(n.value)) found = n.value;
        return found != 0;
    });
    return found;
}

int heightFromAddress(std::string_view address) {
    // The path only: a query's numbers are ids and times far more often than heights.
    const auto query = address.find_first_of("?#");
    const std::string_view path = address.substr(0, query);
    int found = 0;
    eachNumber(path, [&](const Number& n) {
        if (!usual(n.value)) return false;
        const char before = n.begin > 0 ? path[n.begin - 1] : '\0';
        const char after = n.end < path.size() ? lower(path[n.end]) : '\0';
        const bool separatedBefore = before == '_' || before == '-' || before == '/' || before == '.' || before == 'x';
        const bool heightP = after == 'p' && (n.end + 1 >= path.size() || !std::isalpha(static_cast<unsigned char>(path[n.end + 1])));
        const bool separatedAfter = after == '.' || after == '_' || after == '-' || after == '/';
        if (separatedBefore && (heightP || separatedAfter)) {
            // "1280x720": the number before the x is a width, never a height.
            if (after == 'x') return false;
            found = n.value;
            return true;
        }
        if (!separatedBefore && heightP && !isAlnum(before)) {
            found = n.value;
            return true;
        }
        return false;
    });
    return found;
}

int buttonOfHeight(int height) {
    for (int k = 0; k < base::kQualityCount; ++k)
        if (height >= base::kQualities[static_cast<std::size_t>(k)].height) return k;
    return base::kQualityCount - 1;
}

}  // namespace zenvira::resolve
