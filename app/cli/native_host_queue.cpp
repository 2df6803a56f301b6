// Where the native host's additions go.
//
// Until the download queue is part of the program, an addition is kept as one JSON line in the
// queue file (`--queue FILE`, else $ZENVIRA_QUEUE, else browser-additions.jsonl in the user's
// Zenvira folder), its line number being its id. Adding to the queue itself replaces this file.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/cli/native_host.h"
#include "platform/config_folder.h"

namespace zenvira::cli {

namespace {

std::string queueFile(const std::optional<std::string>& option) {
    if (option && !option->empty()) return *option;
    if (const char* named = std::getenv("ZENVIRA_QUEUE"); named && *named) return named;
    const std::string config = platform::userConfigFolder();
    if (config.empty()) return {};
    return (std::filesystem::path(config) / "zenvira" / "browser-additions.jsonl").string();
}

AdditionResult appendLine(const std::string& file, const BrowserAddition& addition) {
    if (file.empty()) return {std::nullopt, "There is no folder to keep the queue in."};
    std::error_code ignored;
    const auto folder = std::filesystem::path(file).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    std::int64_t lines = 0;
    {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) ++lines;
    }
    std::ofstream out(file, std::ios::app);
    out << nlohmann::json{{"url", addition.url}, {"page", addition.page}, {"title", addition.title}}.dump() << '\n';
    out.flush();
    if (!out) return {std::nullopt, "The queue " + file + " cannot be written."};
    return {lines + 1, {}};
}

}  // namespace

int runNativeHost(const std::optional<std::string>& queueOption) {
    const std::string file = queueFile(queueOption);
    std::ios::sync_with_stdio(false);
    return serveNativeMessages(std::cin, std::cout,
                               [&file](const BrowserAddition& addition) { return appendLine(file, addition); });
}

}  // namespace zenvira::cli
