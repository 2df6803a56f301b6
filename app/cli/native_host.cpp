#include "app/cli/native_host.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cctype>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

namespace zenvira::cli {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMostTitleCharacters = 300;

std::string failure(const std::string& sentence) { return Json{{"ok", false}, {"error", sentence}}.dump(); }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// One line of text: control characters become blanks, runs of blanks one, and at most
// kMostTitleCharacters characters are kept (whole UTF-8 sequences).
std::string oneLine(std::string_view text) {
    std::string line;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool blank = byte < 0x20 || byte == 0x7f || byte == ' ';
        const bool starts = (byte & 0xc0) != 0x80;
        if (starts && characters == kMostTitleCharacters) break;
        if (blank) {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
                ++characters;
            }
            continue;
        }
        if (starts) ++characters;
        line += static_cast<char>(byte);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::optional<std::string> optionalText(const Json& message, const char* key, std::string& error) {
    const auto found = message.find(key);
    if (found == message.end() || found->is_null()) return std::string();
    if (!found->is_string()) {
        error = std::string("The \"") + key + "\" of the message is not text.";
        return std::nullopt;
    }
    return found->get<std::string>();
}

bool readExactly(std::istream& in, char* into, std::size_t count) {
    in.read(into, static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(in.gcount()) == count;
}

void writeFramed(std::ostream& out, const std::string& answer) {
    const auto length = static_cast<std::uint32_t>(answer.size());
    std::array<char, 4> header{};
    std::memcpy(header.data(), &length, header.size());  // the machine's own byte order
    out.write(header.data(), header.size());
    out.write(answer.data(), static_cast<std::streamsize>(answer.size()));
    out.flush();
}

}  // namespace

bool isWebAddress(std::string_view address) {
    std::size_t rest = 0;
    if (startsWithNoCase(address, "https://"))
        rest = 8;
    else if (startsWithNoCase(address, "http://"))
        rest = 7;
    else
        return false;
    for (const char c : address)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
    const std::size_t authorityEnd = address.find_first_of("/?#", rest);
    std::string_view authority =
        address.substr(rest, authorityEnd == std::string_view::npos ? std::string_view::npos : authorityEnd - rest);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    const bool bracketed = !authority.empty() && authority.front() == '[';  // an IPv6 literal
    const std::size_t hostEnd = bracketed ? authority.find(']') : authority.find(':');
    if (bracketed && hostEnd == std::string_view::npos) return false;
    const std::string_view host = bracketed ? authority.substr(1, hostEnd - 1) : authority.substr(0, hostEnd);
    return !host.empty();
}

std::string answerNativeMessage(std::string_view message, const AddFromBrowser& add) {
    const Json parsed = Json::parse(message.begin(), message.end(), nullptr, false);
    if (parsed.is_discarded()) return failure("The message is not JSON.");
    if (!parsed.is_object()) return failure("The message is not a JSON object.");
    const auto action = parsed.find("action");
    if (action == parsed.end() || !action->is_string()) return failure("The message names no action.");
    if (*action != "add") return failure("The action \"" + oneLine(action->get<std::string>()) + "\" is not known.");

    const auto url = parsed.find("url");
    if (url == parsed.end() || !url->is_string() || url->get<std::string>().empty())
        return failure("The message holds no address to add.");
    BrowserAddition addition;
    addition.url = url->get<std::string>();
    if (!isWebAddress(addition.url)) return failure("Only http and https addresses can be downloaded.");
    std::string error;
    const auto page = optionalText(parsed, "page", error);
    const auto title = optionalText(parsed, "title", error);
    if (!page || !title) return failure(error);
    // The page is where the address was found; a local or browser page says nothing worth keeping.
    addition.page = isWebAddress(*page) ? *page : std::string();
    addition.title = oneLine(*title);

    const AdditionResult result = add(addition);
    if (!result.id) return failure(result.error.empty() ? "The address could not be added." : result.error);
    return Json{{"ok", true}, {"id", *result.id}}.dump();
}

int serveNativeMessages(std::istream& in, std::ostream& out, const AddFromBrowser& add) {
    std::vector<char> message;
    for (;;) {
        std::array<char, 4> header{};
        in.read(header.data(), header.size());
        if (in.gcount() == 0) return 0;  // the browser closed the pipe between messages
        if (in.gcount() != static_cast<std::streamsize>(header.size())) {
            writeFramed(out, failure("The message ended inside its length."));
            return 1;
        }
        std::uint32_t length = 0;
        std::memcpy(&length, header.data(), header.size());
        if (length > kMostNativeMessageBytes) {
            writeFramed(out, failure("The message is larger than 1 MiB."));
            return 1;
        }
        message.resize(length);
        if (!readExactly(in, message.data(), length)) {
            writeFramed(out, failure("The message ended before its length."));
            return 1;
        }
        writeFramed(out, answerNativeMessage(std::string_view(message.data(), message.size()), add));
    }
}

}  // namespace zenvira::cli
