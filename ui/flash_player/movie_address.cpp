#include "ui/flash_player/movie_address.h"

#include <algorithm>
#include <cctype>

namespace zenvira::components {

MovieAddress splitMovieAddress(std::string_view address) {
    const auto question = address.find('?');
    if (question == std::string_view::npos) return {std::string(address), {}};
    return {std::string(address.substr(0, question)), std::string(address.substr(question + 1))};
}

std::optional<std::string> parameterValue(std::string_view parameters, std::string_view name) {
    std::size_t start = 0;
    while (start <= parameters.size()) {
        auto end = parameters.find('&', start);
        if (end == std::string_view::npos) end = parameters.size();
        const auto item = parameters.substr(start, end - start);
        if (item.size() > name.size() && item.substr(0, name.size()) == name && item[name.size()] == '=')
            return std::string(item.substr(name.size() + 1));
        start = end + 1;
    }
    return std::nullopt;
}

namespace {

// "&name=value&..." with every piece a parameter (a plain name before its "=").
bool followedByParameters(std::string_view text) {
    if (text.empty()) return false;
    std::size_t start = 1;  // past the leading "&"
    while (start <= text.size()) {
        auto end = text.find('&', start);
        if (end == std::string_view::npos) end = text.size();
        const auto piece = text.substr(start, end - start);
        const auto equals = piece.find('=');
        if (equals == 0 || equals == std::string_view::npos) return false;
        for (const char c : piece.substr(0, equals))
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::optional<std::string> videoFileOf(std::string_view query,
                                       const std::function<bool(const std::string&)>& isFile) {
    auto shortest = parameterValue(query, "file");
    if (!shortest || shortest->empty()) return shortest;
    // Where the value starts: the first parameter called "file", as parameterValue found it.
    std::size_t start = query.starts_with("file=") ? 5 : query.find("&file=") + 6;
    const std::string_view rest = query.substr(start);
    // Longest first; the shorter value ends at the first "&", which stops the walk.
    for (std::size_t end = rest.size(); end > shortest->size(); end = rest.rfind('&', end - 1)) {
        std::string candidate(rest.substr(0, end));
        if (isFile(candidate)) return candidate;
    }
    // No such file: what follows the first "&" is the path's own when it reads as no parameters.
    if (!followedByParameters(rest.substr(shortest->size()))) return std::string(rest);
    return shortest;
}

bool autostartRequested(std::string_view flashVars) {
    const auto value = parameterValue(flashVars, "autostart");
    if (!value) return false;
    return std::equal(value->begin(), value->end(), std::string_view("true").begin(),
                      std::string_view("true").end(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace zenvira::components
