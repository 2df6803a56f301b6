#include "base/web_address/address_text.h"

#include <array>
#include <cstdint>
#include <optional>

namespace zenvira::components {

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x110000) {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<std::uint32_t> parseNumber(std::string_view digits, int base) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return std::nullopt;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    return value;
}

struct NamedReference {
    std::string_view name;
    std::string_view text;
};
constexpr std::array<NamedReference, 7> kNamed = {{
    {"amp", "&"}, {"quot", "\""}, {"apos", "'"}, {"lt", "<"}, {"gt", ">"}, {"nbsp", "\xC2\xA0"}, {"sol", "/"},
}};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view schemeOf(std::string_view address) {
    for (std::size_t i = 0; i < address.size(); ++i) {
        const char c = address[i];
        if (c == ':') return i > 0 ? address.substr(0, i) : std::string_view();
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) return {};
    }
    return {};
}

// The parts of an absolute address: scheme, authority, path, query (with '?'), fragment.
struct AddressParts {
    std::string scheme, authority, path, query, fragment;
    bool hasAuthority = false;
};

AddressParts split(std::string_view address) {
    AddressParts parts;
    const auto scheme = schemeOf(address);
    if (!scheme.empty()) {
        parts.scheme = std::string(scheme);
        address.remove_prefix(scheme.size() + 1);
    }
    if (address.starts_with("//")) {
        address.remove_prefix(2);
        const auto end = address.find_first_of("/?#");
        parts.hasAuthority = true;
        parts.authority = std::string(address.substr(0, end));
        address = end == std::string_view::npos ? std::string_view() : address.substr(end);
    }
    const auto hash = address.find('#');
    if (hash != std::string_view::npos) {
        parts.fragment = std::string(address.substr(hash));
        address = address.substr(0, hash);
    }
    const auto question = address.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(address.substr(question));
        address = address.substr(0, question);
    }
    parts.path = std::string(address);
    return parts;
}

// RFC 3986 5.2.4: "." and ".." segments resolved.
std::string removeDotSegments(std::string_view path) {
    std::string out;
    while (!path.empty()) {
        if (path.starts_with("../")) path.remove_prefix(3);
        else if (path.starts_with("./")) path.remove_prefix(2);
        else if (path.starts_with("/./")) path.remove_prefix(2);
        else if (path == "/.") path = "/";
        else if (path.starts_with("/../") || path == "/..") {
            path = path.size() == 3 ? std::string_view("/") : path.substr(3);
            const auto slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (path == "." || path == "..") {
            path = {};
        } else {
            const auto next = path.find('/', 1);
            const auto segment = path.substr(0, next);
            out += segment;
            path.remove_prefix(segment.size());
        }
    }
    return out;
}

std::string merge(const AddressParts& base, const std::string& referencePath) {
    if (base.hasAuthority && base.path.empty()) return "/" + referencePath;
    const auto slash = base.path.rfind('/');
    return (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) + referencePath;
}

std::string join(const AddressParts& p) {
    std::string out = p.scheme + ":";
    if (p.hasAuthority) out += "//" + p.authority;
    return out + p.path + p.query + p.fragment;
}

}  // namespace

std::string decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const auto semi = text.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += '&';
            continue;
        }
        const auto name = text.substr(i + 1, semi - i - 1);
        std::optional<std::uint32_t> cp;
        if (name.starts_with("#x") || name.starts_with("#X")) cp = parseNumber(name.substr(2), 16);
        else if (name.starts_with("#")) cp = parseNumber(name.substr(1), 10);
        if (cp) {
            appendUtf8(out, *cp);
            i = semi;
            continue;
        }
        bool named = false;
        for (const auto& ref : kNamed)
            if (ref.name == name) {
                out += ref.text;
                named = true;
            }
        if (named) i = semi;
        else out += '&';
    }
    return out;
}

std::string decodeScriptEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[i + 1];
        if (e == 'u' && i + 5 < text.size()) {
            if (auto cp = parseNumber(text.substr(i + 2, 4), 16)) {
                appendUtf8(out, *cp);
                i += 5;
                continue;
            }
        }
        if (e == 'x' && i + 3 < text.size()) {
            if (auto cp = parseNumber(text.substr(i + 2, 2), 16)) {
                appendUtf8(out, *cp);
                i += 3;
                continue;
            }
        }
        if (e == '/' || e == '"' || e == '\'' || e == '\\') {
            out += e;
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

std::string cleanAddress(std::string_view written) {
    const std::string decoded = decodeScriptEscapes(decodeEntities(written));
    std::size_t first = 0, last = decoded.size();
    while (first < last && isBlank(decoded[first])) ++first;
    while (last > first && isBlank(decoded[last - 1])) --last;
    return decoded.substr(first, last - first);
}

std::string joinAddress(std::string_view baseText, std::string_view reference) {
    if (!schemeOf(reference).empty()) return std::string(reference);
    const AddressParts base = split(baseText);
    if (base.scheme.empty()) return {};
    const AddressParts ref = split(reference);
    AddressParts target;
    target.scheme = base.scheme;
    if (ref.hasAuthority) {
        target.hasAuthority = true;
        target.authority = ref.authority;
        target.path = removeDotSegments(ref.path);
        target.query = ref.query;
    } else {
        target.hasAuthority = base.hasAuthority;
        target.authority = base.authority;
        if (ref.path.empty()) {
            target.path = base.path;
            target.query = ref.query.empty() ? base.query : ref.query;
        } else {
            target.path = removeDotSegments(ref.path.starts_with("/") ? ref.path : merge(base, ref.path));
            target.query = ref.query;
        }
    }
    target.fragment = ref.fragment;
    return join(target);
}

std::string addressPath(std::string_view address) { return split(address).path; }

std::string addressExtension(std::string_view address) {
    const std::string path = addressPath(address);
    const auto slash = path.rfind('/');
    const std::string segment = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = segment.rfind('.');
    if (dot == std::string::npos || dot + 1 >= segment.size()) return {};
    std::string ext = segment.substr(dot + 1);
    for (auto& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

}  // namespace zenvira::components
