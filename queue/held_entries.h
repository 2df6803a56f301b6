#pragma once
// The entries of a queue that a part of this process fetches outside the queue's runner (the
// main window's batch). The runner of the same queue in this process passes them over, so no
// file is fetched twice at once.
#include <string>
#include <vector>

#include "queue/queue_entry.h"

namespace zenvira::queue {

void holdEntries(const std::string& queuePath, const std::vector<EntryId>& ids);
void releaseEntries(const std::string& queuePath, const std::vector<EntryId>& ids);
std::vector<EntryId> heldEntries(const std::string& queuePath);

}  // namespace zenvira::queue
