#include "app/cli/json_writer.h"

#include <cstdio>

#include "app/cli/printable_text.h"

namespace zenvira::cli {

// Valid UTF-8 out whatever came in: bytes that form no character become U+FFFD, and every
// control character (C1 too, which some terminals obey) is escaped.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    forEachCharacter(text, [&](char32_t c, std::string_view bytes) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case 0xFFFD: out += "\xEF\xBF\xBD"; break;
        default:
            if (isControl(c)) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += bytes;
            }
        }
    });
    return out + "\"";
}

std::string jsonOptional(const std::optional<std::string>& text) {
    return text ? jsonString(*text) : std::string("null");
}

std::string jsonArray(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) out += std::string(i ? ", " : "") + jsonString(texts[i]);
    return out + "]";
}

std::string jsonArray(const std::vector<bool>& flags) {
    std::string out = "[";
    for (std::size_t i = 0; i < flags.size(); ++i) out += std::string(i ? ", " : "") + (flags[i] ? "true" : "false");
    return out + "]";
}

JsonObject& JsonObject::add(std::string_view key, const std::string& rawJson) {
    if (body_.size() > 1) body_ += ", ";
    body_ += jsonString(key) + ": " + rawJson;
    return *this;
}

}  // namespace zenvira::cli
