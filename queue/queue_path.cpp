#include "queue/queue_path.h"

#include <cstdlib>

#include "platform/config_folder.h"

namespace zenvira::queue {

std::string defaultQueuePath(const std::string& optionOrEmpty) {
    if (!optionOrEmpty.empty()) return optionOrEmpty;
    if (const char* named = std::getenv("ZENVIRA_QUEUE"); named && *named) return named;
    const std::string folder = platform::userDataFolder();
    return folder.empty() ? std::string() : folder + "/zenvira/queue.sqlite";
}

}  // namespace zenvira::queue
