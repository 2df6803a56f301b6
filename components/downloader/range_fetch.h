#pragma once
// Fetches the missing byte ranges of a resource of known size over several connections at
// once, writing each piece at its offset as it arrives.
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/downloader/fetch_context.h"
#include "components/downloader/http_transfer.h"
#include "components/downloader/part_state.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

class RangeFetch {
public:
    RangeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url, ResourceIdentity identity,
               std::string shownName);

    // `minSegment`: the smallest piece worth its own connection.
    FetchResult run(const std::vector<ByteRange>& missing, int maxConnections, std::int64_t minSegment);
    // What is still missing after run() has ended.
    ByteRanges missing() const;

private:
    struct Attempt {
        Segment* segment = nullptr;
        std::int64_t from = 0;  // where the request started
        std::unique_ptr<HttpTransfer> http;
        bool headChecked = false;
        std::string fatal;      // a reason that ends the whole download
        bool changed = false;   // ... because the file on the server is another one now
    };
    using Clock = std::chrono::steady_clock;

    void launch(Clock::time_point now);
    bool start(Segment& segment);
    std::size_t takeBody(Attempt& attempt, const char* data, std::size_t length);
    bool checkHead(Attempt& attempt);
    void settle(Attempt& attempt, CURLcode code, Clock::time_point now);
    void retryOrFail(Attempt& attempt, CURLcode code, Clock::time_point now);
    void fail(const std::string& error, bool changed = false);
    FetchResult finish(FetchStatus status);
    std::chrono::milliseconds nextWake(Clock::time_point now) const;

    FetchContext& context_;
    platform::RandomAccessFile& file_;
    std::string url_;
    ResourceIdentity identity_;
    std::string shownName_;
    std::string ifRange_;
    std::optional<SegmentPlan> plan_;
    std::vector<ByteRange> requested_;
    std::list<Attempt> attempts_;  // a list: body callbacks hold references to their attempt
    std::string error_;
    bool changed_ = false;
    bool lengthDisagreed_ = false;
};

}  // namespace zenvira::components
