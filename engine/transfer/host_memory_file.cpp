#include "engine/transfer/host_memory_file.h"

#include <curl/curl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/config_folder.h"
#include "platform/file_system.h"

namespace zenvira::components {

namespace {

// A file that grew beyond this is not ours to read: it is left alone and nothing is recalled.
constexpr std::uintmax_t kLargestFile = 1 << 20;

std::string processHostsPath() {
    if (const char* named = std::getenv("ZENVIRA_HOSTS")) return named;
    const std::string config = platform::userConfigFolder();
    return config.empty() ? std::string() : config + "/zenvira/hosts";
}

}  // namespace

HostMemoryFile::HostMemoryFile(std::string path) : path_(std::move(path)) {}

void HostMemoryFile::setPath(std::string path) {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
}

HostMemoryFile& HostMemoryFile::ofProcess() {
    static HostMemoryFile memory(processHostsPath());
    return memory;
}

HostTable HostMemoryFile::load() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(path_, error);
    if (error || size > kLargestFile) return {};
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return HostTable::parse(text.str());
}

std::optional<int> HostMemoryFile::recall(const std::string& server, WallClock::time_point now) {
    std::lock_guard lock(mutex_);
    if (path_.empty()) return std::nullopt;
    return load().recall(server, now);
}

void HostMemoryFile::remember(const std::string& server, int connections, WallClock::time_point now) {
    std::lock_guard lock(mutex_);
    if (path_.empty()) return;
    // Read again first: another process may have remembered other servers meanwhile.
    HostTable table = load();
    if (!table.remember(server, connections, now)) return;
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    std::string error;
    platform::replaceFileDurably(path_, table.text(), error);  // a hint: a failure only costs a ramp
}

std::string serverOfAddress(const std::string& url) {
    std::string server;
    if (CURLU* parsed = curl_url()) {
        char* host = nullptr;
        char* port = nullptr;
        if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
            server = std::string(host) + ':' + port;
        curl_free(host);
        curl_free(port);
        curl_url_cleanup(parsed);
    }
    return server.empty() ? url : server;
}

}  // namespace zenvira::components
