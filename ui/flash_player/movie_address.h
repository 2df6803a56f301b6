#pragma once
// The address a movie is loaded from: the movie's path, then optionally "?" and parameters,
// e.g. "/tmp/4242?file=/home/u/My Videos/a b.flv". Values are taken as written: the window
// passes paths with spaces and without any escaping, so nothing is percent-decoded.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::components {

struct MovieAddress {
    std::string moviePath;  // everything before the first "?"
    std::string query;      // everything after it (empty without "?")
};

MovieAddress splitMovieAddress(std::string_view address);

// The value of parameter name in "a=1&b=2" text (a query or FlashVars): from after "name="
// to the end or the next "&". The first parameter of that name wins; nullopt when absent.
std::optional<std::string> parameterValue(std::string_view parameters, std::string_view name);

// The video the query names. The window writes "file=" and the path unescaped, so a path
// may itself hold "&", "=", "?", "#" or "%": the value runs to the end of the query when
// that names an existing file, else to the "&" before the longest part that does. With no
// such file at all it ends at the first "&" when only parameters ("&name=value") follow, as
// parameterValue reads it, and runs to the end otherwise.
std::optional<std::string> videoFileOf(std::string_view query,
                                       const std::function<bool(const std::string&)>& isFile);

// FlashVars "autostart": true only for the value "true" (in any case).
bool autostartRequested(std::string_view flashVars);

}  // namespace zenvira::components
