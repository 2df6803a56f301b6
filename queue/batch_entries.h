#pragma once
// The main window's batch kept in the download queue: each row an entry at the best quality
// (the same address is the same entry), running while the batch fetches it, then saved or
// failed. Rows are held from this process's runner for as long as the batch runs; a batch cut
// by a crash leaves its rows running or waiting, and the next runner takes them up from their
// `.part`. A queue that cannot be opened keeps nothing, and the batch runs as it always does.
#include <memory>
#include <string>
#include <vector>

#include "app/batch_queue.h"

namespace zenvira::queue {

class QueueStore;

class BatchEntries : public app::BatchQueue {
public:
    explicit BatchEntries(std::string queuePath);  // empty: the user's queue
    ~BatchEntries() override;

    std::vector<Ticket> begin(const std::vector<std::string>& addresses, const std::string& folder) override;
    bool take(Ticket ticket) override;
    void ended(Ticket ticket, RowEnd end, const std::string& reason, const std::string& file) override;
    void end(const std::vector<Ticket>& tickets, RowEnd notReached) override;

private:
    std::string queuePath_;
    std::unique_ptr<QueueStore> store_;
    std::vector<Ticket> taken_;  // rows of the running batches that were fetched
};

// Whether the queue has entries waiting or left running (by a batch or a runner cut short),
// which the next start takes up. A queue that is not there is not made for asking.
bool queueHasUnfinishedEntries(const std::string& queuePath = {});

}  // namespace zenvira::queue
