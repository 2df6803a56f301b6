#pragma once
// Fetches the missing byte ranges of a resource of known size over several connections at
// once, writing each piece at its offset as it arrives. What to do next is the
// SchedulingPolicy's to say: how many connections run (at most HostConnections::kMostPerHost
// to one host over all downloads, split evenly between those fetching from it), which piece
// each takes, which one ends. This part turns its answers into transfers, checks every answer
// and writes the bytes. A server that asks to wait (429, 503 with Retry-After) is waited out
// within the retry budget, and a server seen lately starts at the count its last download
// settled on (HostMemory).
//
// Resuming never joins two versions of the file: every request names the file's validator in
// If-Range, and an answer with the whole file means it changed. Without a validator, every
// request but the first starts up to 64 KiB early: bytes already on the disk must come back
// equal to them, and bytes another connection has yet to write are kept and compared once
// they are there. Any difference means the file changed.
#include <chrono>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/journal/part_journal.h"
#include "engine/journal/part_state.h"
#include "engine/policy/host_memory.h"
#include "engine/policy/scheduling_policy.h"
#include "engine/transfer/fetch_context.h"
#include "engine/transfer/host_connections.h"
#include "engine/transfer/http_transfer.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

class RangeFetch {
public:
    // How much a continuing request fetches again to compare, when there is no validator.
    static constexpr std::int64_t kOverlap = 64 * 1024;
    // The longest Retry-After waited out; a server asking for more fails the download.
    static constexpr std::int64_t kLongestWaitSeconds = 300;
    // Written bytes are sent on to the disk whenever this many more have come.
    static constexpr std::int64_t kWritebackBytes = 1 << 20;

    // `hosts`: where the connection count a job settles on is kept for the next job on the
    // same server, which starts at it (the process's own memory unless one is given).
    RangeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url, ResourceIdentity identity,
               std::string shownName, HostMemory* hosts = nullptr);

    // `kept`: bytes already in the file. `connections`: where the count starts on a server
    // not seen lately; `minSegment`: the smallest piece worth a connection at the start there.
    // The journal, when given, is written the done ranges as they grow. `firstBytes`: the
    // probe's answer from byte 0 to the end, paused at its body, taken as the first piece's
    // connection; `firstBytesHeld`: it waited parked while the page was read, so its first
    // bytes are a backlog and not the path's rate.
    PhaseResult run(const ByteRanges& kept, int connections, std::int64_t minSegment, PartJournal* journal = nullptr,
                    std::shared_ptr<HttpTransfer> firstBytes = nullptr, bool firstBytesHeld = false);
    // What is surely in the file after run() has ended: kept and written bytes.
    ByteRanges done() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class Problem { None, Changed, Expired, Busy, NotMedia };
    // Bytes a request got ahead of its piece, before another connection has written them.
    struct Lead {
        std::int64_t from = 0;
        std::vector<char> bytes;
        std::int64_t end() const { return from + static_cast<std::int64_t>(bytes.size()); }
    };
    struct Attempt {
        SchedulingPolicy::Connection* link = nullptr;  // what the policy knows of it
        Segment* segment = nullptr;
        std::int64_t from = 0;        // where the request started
        std::int64_t verifyEnd = 0;   // bytes before this are compared with the disk, not written
        Lead* lead = nullptr;  // ... or kept to compare later
        std::int64_t at = 0;          // where the next body byte belongs
        std::shared_ptr<HttpTransfer> http;
        bool headChecked = false;
        std::string fatal;            // a reason that ends the whole download
        Problem problem = Problem::None;
        FailureCause cause{FailureKind::Content};  // of `fatal`
        std::optional<std::int64_t> waitSeconds;  // Retry-After of a busy answer
        Clock::time_point sent{};  // when its request went out
    };

    void adopt(std::shared_ptr<HttpTransfer> firstBytes, bool held);
    void launch(Clock::time_point now);
    bool start(Segment& segment, double expectedRate);
    Attempt& track(Segment& segment, std::int64_t from, std::int64_t requestEnd, double expectedRate);
    std::size_t takeBody(Attempt& attempt, const char* data, std::size_t length);
    bool compareWithDisk(Attempt& attempt, const char* data, std::size_t length);
    void startWriteback(std::int64_t written);
    bool firstBytesJudged(std::int64_t writtenFrom, Attempt& attempt);
    bool checkHead(Attempt& attempt);
    void settle(Attempt& attempt, CURLcode code, Clock::time_point now);
    void waitOut(Attempt& attempt, Clock::time_point now);
    void retryOrFail(Attempt& attempt, CURLcode code, Clock::time_point now);
    void drop(Attempt& attempt);
    void dropOvertaken();
    void shedSlowest();
    void rememberConnectionCount();
    std::int64_t doneJustBefore(std::int64_t offset) const;
    void checkLeads();
    void fail(const std::string& error, Problem problem = Problem::None, FailureCause cause = {});
    PhaseResult finish(PhaseStatus status);

    FetchContext& context_;
    platform::RandomAccessFile& file_;
    std::int64_t writtenSinceWriteback_ = 0;
    std::string url_;
    std::string host_;
    HostShare share_;  // this download's part of the host's budget
    std::string server_;  // host and port: what the connection count is remembered for
    HostMemory& hosts_;
    ResourceIdentity identity_;
    std::string shownName_;
    std::string ifRange_;
    bool verifyOverlap_ = false;
    std::optional<SchedulingPolicy> policy_;
    std::list<Attempt> attempts_;  // a list: body callbacks hold references to their attempt
    std::vector<char> diskBytes_;
    std::list<Lead> leads_;
    std::string error_;
    FailureCause cause_;
    Problem problem_ = Problem::None;
    bool lengthDisagreed_ = false;
};

}  // namespace zenvira::components
