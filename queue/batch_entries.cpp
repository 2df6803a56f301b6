#include "queue/batch_entries.h"

#include <algorithm>
#include <filesystem>

#include "queue/held_entries.h"
#include "queue/queue_path.h"
#include "queue/queue_store.h"

namespace zenvira::queue {

BatchEntries::BatchEntries(std::string queuePath) : queuePath_(defaultQueuePath(queuePath)) {}

BatchEntries::~BatchEntries() = default;

std::vector<BatchEntries::Ticket> BatchEntries::begin(const std::vector<std::string>& addresses,
                                                      const std::string& folder) {
    if (!store_) store_ = QueueStore::open(queuePath_).store;  // opened when first needed
    std::vector<Ticket> tickets(addresses.size(), 0);
    if (!store_) return tickets;
    for (std::size_t k = 0; k < addresses.size(); ++k) tickets[k] = store_->add(addresses[k], 0, folder);
    std::vector<EntryId> kept;
    std::copy_if(tickets.begin(), tickets.end(), std::back_inserter(kept), [](Ticket id) { return id != 0; });
    // Held before they wait, so this process's runner never starts one of them.
    holdEntries(queuePath_, kept);
    store_->queueAgain(kept);
    return tickets;
}

bool BatchEntries::take(Ticket ticket) {
    if (!store_ || !store_->claim(ticket)) return false;
    taken_.push_back(ticket);
    return true;
}

void BatchEntries::ended(Ticket ticket, RowEnd end, const std::string& reason, const std::string& file) {
    if (!store_) return;
    switch (end) {
    case RowEnd::Saved: store_->finish(ticket, EntryState::Saved, reason, file); break;
    case RowEnd::Failed: store_->finish(ticket, EntryState::Failed, reason); break;
    case RowEnd::Stopped: store_->finish(ticket, EntryState::Stopped, reason); break;
    case RowEnd::Interrupted: store_->requeue(ticket, reason); break;
    }
}

void BatchEntries::end(const std::vector<Ticket>& tickets, RowEnd notReached) {
    if (!store_) return;
    std::vector<EntryId> kept;
    for (const Ticket ticket : tickets) {
        if (ticket == 0) continue;
        kept.push_back(ticket);
        const auto wasTaken = std::find(taken_.begin(), taken_.end(), ticket);
        if (wasTaken != taken_.end()) {
            taken_.erase(wasTaken);
            continue;
        }
        // A row the batch never reached: stopped with it, or left waiting for the next start.
        const auto entry = store_->entry(ticket);
        if (notReached != RowEnd::Interrupted && entry && entry->state == EntryState::Waiting && store_->claim(ticket))
            store_->finish(ticket, EntryState::Stopped, "The batch was stopped");
    }
    releaseEntries(queuePath_, kept);
}

bool queueHasUnfinishedEntries(const std::string& queuePath) {
    const std::string path = defaultQueuePath(queuePath);
    std::error_code ignored;
    if (path.empty() || !std::filesystem::exists(path, ignored)) return false;  // no queue is made for asking
    const auto store = QueueStore::open(path).store;
    if (!store) return false;
    const auto entries = store->list();
    return std::any_of(entries.begin(), entries.end(), [](const Entry& entry) {
        return entry.state == EntryState::Waiting || entry.state == EntryState::Running;
    });
}

}  // namespace zenvira::queue
