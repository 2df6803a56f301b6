#pragma once
// Just enough JSON output for the command line: texts go out as valid UTF-8, escaped.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::cli {

std::string jsonString(std::string_view text);
std::string jsonOptional(const std::optional<std::string>& text);  // null when absent
std::string jsonArray(const std::vector<std::string>& texts);
std::string jsonArray(const std::vector<bool>& flags);

// Builds one object, keys in the order they are added.
class JsonObject {
public:
    JsonObject& add(std::string_view key, const std::string& rawJson);
    std::string str() const { return body_ + "}"; }

private:
    std::string body_ = "{";
};

}  // namespace zenvira::cli
