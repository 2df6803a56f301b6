#pragma once
// "Add all to the queue" for a page that holds several videos: the page is read and each of
// its videos becomes an entry of its own, which names the page it was found on.
#include <string>
#include <vector>

#include "engine/transfer/cancel_token.h"
#include "resolve/generic/page_videos.h"

namespace zenvira::queue {

class QueueStore;

struct PageVideos {
    std::vector<resolve::PageVideo> videos;
    std::string error;  // why there are none: "Could not read the page: ..." or no video on it
};

// Reads the page (blocking; `cancel` ends the read) and lists its videos.
PageVideos readPageVideos(const std::string& address, components::CancelToken* cancel = nullptr);

// The videos as entries of `store`, in the page's order; 0 where one could not be written.
std::vector<std::int64_t> addPageVideos(QueueStore& store, const std::string& pageAddress,
                                        const std::vector<resolve::PageVideo>& videos, int quality = 0,
                                        const std::string& folder = {});

}  // namespace zenvira::queue
