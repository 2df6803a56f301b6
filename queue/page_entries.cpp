#include "queue/page_entries.h"

#include "app/page_reader.h"
#include "queue/queue_store.h"

namespace zenvira::queue {

PageVideos readPageVideos(const std::string& address, components::CancelToken* cancel) {
    PageVideos found;
    const auto page = app::realPageReader()(address, cancel);
    if (!page.ok) {
        found.error = "Could not read the page: " + page.error;
        return found;
    }
    found.videos = resolve::videosOfPage(page.text, page.finalAddress.empty() ? address : page.finalAddress);
    if (found.videos.empty()) found.error = "This page offers no video to download";
    return found;
}

std::vector<std::int64_t> addPageVideos(QueueStore& store, const std::string& pageAddress,
                                        const std::vector<resolve::PageVideo>& videos, int quality,
                                        const std::string& folder) {
    std::vector<std::int64_t> ids;
    for (const auto& video : videos) ids.push_back(store.add(video.address, quality, folder, pageAddress, video.title));
    return ids;
}

}  // namespace zenvira::queue
