#pragma once
// Fetches the missing byte ranges of a resource of known size over several connections at
// once, writing each piece at its offset as it arrives. The number of connections adapts
// (ConnectionRamp, at most HostConnections::kMostPerHost to one host over all downloads), the
// pieces move from slow connections to fast ones (SegmentPlan), and a server that asks to
// wait (429, 503 with Retry-After) is waited out within the retry budget.
//
// Resuming never joins two versions of the file: every request names the file's validator in
// If-Range, and an answer with the whole file means it changed. Without a validator, every
// request but the first starts up to 64 KiB early: bytes already on the disk must come back
// equal to them, and bytes another connection has yet to write are kept and compared once
// they are there. Any difference means the file changed.
#include <chrono>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/policy/connection_ramp.h"
#include "engine/transfer/fetch_context.h"
#include "engine/transfer/http_transfer.h"
#include "engine/journal/part_journal.h"
#include "engine/journal/part_state.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

class RangeFetch {
public:
    // How much a continuing request fetches again to compare, when there is no validator.
    static constexpr std::int64_t kOverlap = 64 * 1024;
    // The longest Retry-After waited out; a server asking for more fails the download.
    static constexpr std::int64_t kLongestWaitSeconds = 300;

    RangeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url, ResourceIdentity identity,
               std::string shownName);

    // `kept`: bytes already in the file. `connections`: where the count starts;
    // `minSegment`: the smallest piece worth a connection at the start. The journal, when
    // given, is offered the done ranges as they grow. `firstBytes`: the probe's answer from
    // byte 0 to the end, paused at its body, taken as the first piece's connection.
    PhaseResult run(const ByteRanges& kept, int connections, std::int64_t minSegment, PartJournal* journal = nullptr,
                    std::shared_ptr<HttpTransfer> firstBytes = nullptr);
    // What is surely in the file after run() has ended: kept and written bytes.
    ByteRanges done() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class Problem { None, Changed, Expired, Busy };
    // Bytes a request got ahead of its piece, before another connection has written them.
    struct Lead {
        std::int64_t from = 0;
        std::vector<char> bytes;
        std::int64_t end() const { return from + static_cast<std::int64_t>(bytes.size()); }
    };
    struct Attempt {
        Segment* segment = nullptr;
        std::int64_t from = 0;        // where the request started
        std::int64_t verifyEnd = 0;   // bytes before this are compared with the disk, not written
        Lead* lead = nullptr;         // ... or kept to compare later
        std::int64_t requestEnd = 0;  // one past the last byte asked for
        std::int64_t at = 0;          // where the next body byte belongs
        std::shared_ptr<HttpTransfer> http;
        bool headChecked = false;
        std::string fatal;            // a reason that ends the whole download
        Problem problem = Problem::None;
        std::optional<std::int64_t> waitSeconds;  // Retry-After of a busy answer
        std::int64_t bytes = 0;       // body bytes taken, for the rate
        std::int64_t firstChunk = 0;  // bytes of the first delivery, which waited for the head
        // (when, bytes taken) since the first byte, over the last rate window.
        std::deque<std::pair<Clock::time_point, std::int64_t>> seen;
        Clock::time_point started{};
        std::optional<Clock::time_point> firstByte;
    };

    void adopt(std::shared_ptr<HttpTransfer> firstBytes);
    void launch(Clock::time_point now);
    bool start(Segment& segment, double expectedRate);
    Attempt& track(Segment& segment, std::int64_t from, std::int64_t requestEnd);
    std::size_t takeBody(Attempt& attempt, const char* data, std::size_t length);
    bool compareWithDisk(Attempt& attempt, const char* data, std::size_t length);
    bool checkHead(Attempt& attempt);
    void settle(Attempt& attempt, CURLcode code, Clock::time_point now);
    void waitOut(Attempt& attempt, Clock::time_point now);
    void retryOrFail(Attempt& attempt, CURLcode code, Clock::time_point now);
    void drop(Attempt& attempt);
    void dropOvertaken();
    void sample(Clock::time_point now);
    void readRates(Clock::time_point now, Clock::duration answerWait);
    void endSlowRaces(Clock::time_point now, Clock::duration answerWait);
    void judgeConnectionCount(Clock::time_point now);
    static double rateSinceFirstByte(const Attempt& attempt, Clock::time_point now);
    void measureFirstRate(Clock::time_point now);
    void shedSlowest();
    void noteLatency(const Attempt& attempt);
    double typicalRate() const;
    double fastestRate() const;
    std::int64_t doneJustBefore(std::int64_t offset) const;
    void checkLeads();
    void fail(const std::string& error, Problem problem = Problem::None);
    PhaseResult finish(PhaseStatus status);
    std::chrono::milliseconds nextWake(Clock::time_point now) const;

    FetchContext& context_;
    platform::RandomAccessFile& file_;
    std::string url_;
    std::string host_;
    ResourceIdentity identity_;
    std::string shownName_;
    std::string ifRange_;
    bool verifyOverlap_ = false;
    std::optional<SegmentPlan> plan_;
    std::optional<ConnectionRamp> ramp_;
    std::list<Attempt> attempts_;  // a list: body callbacks hold references to their attempt
    std::vector<char> diskBytes_;
    std::list<Lead> leads_;
    Clock::time_point lastSample_{};
    std::deque<std::pair<Clock::time_point, std::int64_t>> totals_;  // done bytes over the last second
    Clock::time_point countChanged_{};  // when the ramp last changed the connection count
    double latency_ = 0;  // seconds from a request to its first byte, smoothed
    // Rates of connections whose transfer ended whole: libcurl hands a new request the
    // connection that just fell idle, so its rate is what the next piece can expect.
    std::vector<double> idleRates_;
    std::string error_;
    Problem problem_ = Problem::None;
    bool lengthDisagreed_ = false;
};

}  // namespace zenvira::components
