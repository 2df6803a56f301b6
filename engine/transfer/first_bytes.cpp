#include "engine/transfer/first_bytes.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace zenvira::components {

namespace {

// Printable ASCII, the usual blanks, or bytes of well-formed UTF-8.
bool isText(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\t' || c == '\n' || c == '\r' || c == '\f' || (c >= 0x20 && c < 0x7f)) {
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xf0 && c < 0xf5 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
        if (length == 0 || c >= 0xf5) return false;
        if (i + length > bytes.size()) return true;  // a character cut by the end of the sample
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xc0) != 0x80) return false;
        i += length;
    }
    return true;
}

bool startsWithMarkup(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const auto first =
        std::find_if(bytes.begin(), bytes.end(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); });
    return first != bytes.end() && *first == '<';
}

}  // namespace

bool namesMedia(const std::string& fileName) {
    static constexpr std::array<std::string_view, 17> kExtensions = {"flv", "mp4", "m4v",  "m4a", "webm", "mkv",
                                                                     "mov", "ts",  "3gp",  "avi", "mp3",  "aac",
                                                                     "ogg", "ogv", "opus", "wmv", "f4v"};
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos) return false;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

std::optional<std::string> notMediaProblem(std::string_view firstBytes, const std::string& what) {
    const std::string_view sample = firstBytes.substr(0, kFirstBytesChecked);
    if (sample.empty() || !isText(sample)) return std::nullopt;
    return what + (startsWithMarkup(sample) ? " came as a web page" : " came as text") +
           " instead of video: the server sent an error page, or the address no longer leads to the video";
}

}  // namespace zenvira::components
