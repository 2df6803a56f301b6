// Where the native host's additions go: the download queue (`--queue FILE`, else
// $ZENVIRA_QUEUE, else the user's own), one entry per address at its best quality.
#include <iostream>

#include "app/cli/native_host.h"
#include "queue/queue_path.h"
#include "queue/queue_store.h"

namespace zenvira::cli {

namespace {

AdditionResult addToQueue(const std::string& path, const BrowserAddition& addition) {
    if (path.empty()) return {std::nullopt, "There is no folder to keep the queue in."};
    // Opened for each message: the host lives as long as the browser's port, and another
    // process (the runner, a second browser) may hold the file meanwhile.
    auto opened = queue::QueueStore::open(path);
    if (!opened.store) return {std::nullopt, opened.error};
    const queue::EntryId id = opened.store->add(addition.url, 0, {}, addition.page, addition.title);
    if (id == 0) return {std::nullopt, opened.store->lastError()};
    return {static_cast<std::int64_t>(id), {}};
}

}  // namespace

int runNativeHost(const std::optional<std::string>& queueOption) {
    const std::string path = queue::defaultQueuePath(queueOption.value_or(std::string()));
    std::ios::sync_with_stdio(false);
    return serveNativeMessages(std::cin, std::cout, [&path](const BrowserAddition& addition) {
        AdditionResult result = addToQueue(path, addition);
        if (result.id) showDownloadsWindow();
        return result;
    });
}

}  // namespace zenvira::cli
