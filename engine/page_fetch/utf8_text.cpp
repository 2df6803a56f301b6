#include "engine/page_fetch/utf8_text.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zenvira::components::pagefetch {
namespace {

// Length of the well-formed sequence starting at i, or 0 when the bytes there do not form
// one. When 0, *invalidLength is the maximal invalid subpart to replace by one U+FFFD.
std::size_t wellFormedLength(std::string_view s, std::size_t i, std::size_t* invalidLength) {
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t lead = at(i);
    *invalidLength = 1;
    if (lead < 0x80) return 1;
    std::size_t need = 0;
    std::uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        if (lead == 0xE0) lo = 0xA0;  // no overlong forms
        if (lead == 0xED) hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        if (lead == 0xF0) lo = 0x90;  // no overlong forms
        if (lead == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (i + k >= s.size()) {
            *invalidLength = k;
            return 0;
        }
        const std::uint8_t b = at(i + k);
        const bool ok = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
        if (!ok) {
            *invalidLength = k;
            return 0;
        }
    }
    return need + 1;
}

// Index of the first byte that is not part of a well-formed sequence, or s.size().
std::size_t firstInvalid(std::string_view s, std::size_t from) {
    std::size_t i = from;
    std::size_t invalid = 0;
    while (i < s.size()) {
        // ASCII runs are the bulk of any page: skip them 32 bytes at a time.
        while (i + 32 <= s.size()) {
            std::uint64_t words[4];
            std::memcpy(words, s.data() + i, sizeof words);
            if ((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ull) break;
            i += 32;
        }
        if (i >= s.size()) break;
        const std::size_t len = wellFormedLength(s, i, &invalid);
        if (len == 0) return i;
        i += len;
    }
    return s.size();
}

constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

bool isValidUtf8(std::string_view bytes) { return firstInvalid(bytes, 0) == bytes.size(); }

std::string repairUtf8(std::string bytes) {
    std::size_t bad = firstInvalid(bytes, 0);
    if (bad == bytes.size()) return bytes;
    std::string out;
    out.reserve(bytes.size() + 16);
    out.append(bytes, 0, bad);
    std::size_t i = bad;
    while (i < bytes.size()) {
        std::size_t invalid = 0;
        wellFormedLength(bytes, i, &invalid);
        out.append(kReplacementChar);
        i += invalid;
        const std::size_t next = firstInvalid(bytes, i);
        out.append(bytes, i, next - i);
        i = next;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string decodeWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80)
            out.push_back(c);
        else if (b < 0xA0)
            appendUtf8(out, kWindows1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

}  // namespace zenvira::components::pagefetch
