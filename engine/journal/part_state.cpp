#include "engine/journal/part_state.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/file_system.h"

namespace zenvira::components {

namespace {

constexpr std::string_view kFirstLine = "zenvira-part-state 1";

// Header values come from the network: keep them on one line.
std::string oneLine(const std::string& value) {
    std::string out;
    for (char c : value)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::optional<std::int64_t> parseNumber(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

bool parseRange(std::string_view text, ByteRanges& ranges) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) return false;
    const auto begin = parseNumber(text.substr(0, dash));
    const auto end = parseNumber(text.substr(dash + 1));
    if (!begin || !end || *begin < 0 || *end < *begin) return false;
    ranges.add({*begin, *end});
    return true;
}

bool parseLine(std::string_view key, std::string_view value, PartState& state) {
    if (key == "address") state.origin.address = std::string(value);
    else if (key == "page") state.origin.page = std::string(value);
    else if (key == "quality") state.origin.quality = std::string(value);
    else if (key == "etag") state.resource.etag = std::string(value);
    else if (key == "last-modified") state.resource.lastModified = std::string(value);
    else if (key == "size") {
        const auto size = parseNumber(value);
        if (!size) return false;
        state.resource.size = *size;
    } else if (key == "done") return parseRange(value, state.done);
    return true;  // unknown keys from a later version are skipped
}

}  // namespace

std::string serializePartState(const PartState& state) {
    std::ostringstream out;
    out << kFirstLine << '\n'
        << "address=" << oneLine(state.origin.address) << '\n'
        << "page=" << oneLine(state.origin.page) << '\n'
        << "quality=" << oneLine(state.origin.quality) << '\n'
        << "size=" << state.resource.size << '\n'
        << "etag=" << oneLine(state.resource.etag) << '\n'
        << "last-modified=" << oneLine(state.resource.lastModified) << '\n';
    for (const auto& range : state.done.items()) out << "done=" << range.begin << '-' << range.end << '\n';
    return out.str();
}

std::optional<PartState> parsePartState(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) return std::nullopt;
    PartState state;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) return std::nullopt;
        if (!parseLine(std::string_view(line).substr(0, equals), std::string_view(line).substr(equals + 1), state))
            return std::nullopt;
    }
    if (state.origin.address.empty()) return std::nullopt;
    return state;
}

std::optional<PartState> readPartState(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return parsePartState(text.str());
}

bool writePartState(const std::string& path, const PartState& state) {
    std::string error;
    return platform::replaceFileDurably(path, serializePartState(state), error);
}

bool writeFirstPartState(const std::string& path, const PartState& state) {
    std::error_code code;
    if (!state.done.items().empty() || std::filesystem::exists(std::filesystem::symlink_status(path, code)))
        return writePartState(path, state);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << serializePartState(state);
    return static_cast<bool>(out.flush());
}

void removePartState(const std::string& path) {
    std::error_code code;
    std::filesystem::remove(path, code);
}

bool sameResource(const ResourceIdentity& kept, const ResourceIdentity& now) {
    if (kept.size < 0 || kept.size != now.size) return false;
    if (!kept.etag.empty() || !now.etag.empty()) return kept.etag == now.etag;
    return kept.lastModified == now.lastModified;
}

}  // namespace zenvira::components
