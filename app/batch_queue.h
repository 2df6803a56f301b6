#pragma once
// Where the main window's batch keeps its rows while it runs, so that a batch cut short (a
// crash, the program closed) goes on at the next start: the download queue, wired in by the
// front. The workflow knows it only as these calls.
#include <cstdint>
#include <string>
#include <vector>

namespace zenvira::app {

class BatchQueue {
public:
    using Ticket = std::int64_t;  // a row as the queue knows it; 0: not kept
    enum class RowEnd {
        Saved,  // with its file
        Failed,  // with why
        Stopped,  // the person stopped it, or it could not run now: it waits for them
        Interrupted,  // the program is closing: it goes on at the next start
    };

    virtual ~BatchQueue() = default;
    // The batch's rows, at the best quality, into `folder` (empty: the usual one), one ticket
    // a row; the queue's runner leaves them alone until `end`.
    virtual std::vector<Ticket> begin(const std::vector<std::string>& addresses, const std::string& folder) = 0;
    // The row is about to be fetched; false when the queue is fetching it already.
    virtual bool take(Ticket ticket) = 0;
    virtual void ended(Ticket ticket, RowEnd end, const std::string& reason, const std::string& file) = 0;
    // The batch is over; the rows it did not reach end as `notReached`.
    virtual void end(const std::vector<Ticket>& tickets, RowEnd notReached) = 0;
};

}  // namespace zenvira::app
