#pragma once
// The queue on the disk: one SQLite file that any process may change and one runner works
// through. Every change is one transaction, written through to the disk (WAL, synchronous
// FULL), so a crash or a power cut loses none that was made. A file that is damaged, of
// another program or of a newer version is never replaced: open says why and leaves it as it
// is. A file another writer holds is waited for a few seconds, then refused with a sentence.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "queue/queue_entry.h"

struct sqlite3;

namespace zenvira::queue {

class QueueStore {
public:
    struct Opened {
        std::unique_ptr<QueueStore> store;  // null when it cannot be opened
        std::string error;                  // one sentence a person understands, when null
    };
    // Opens the queue at `path`, making its folder and an empty queue when there is none.
    static Opened open(const std::string& path);

    ~QueueStore();
    QueueStore(const QueueStore&) = delete;
    QueueStore& operator=(const QueueStore&) = delete;

    const std::string& path() const { return path_; }
    // Why the last call that failed failed.
    const std::string& lastError() const { return error_; }

    // A new waiting entry, last in order; the same address and quality again is the entry
    // already there (left as it is). 0 when it could not be written.
    EntryId add(const std::string& address, int quality = 0, const std::string& folder = {},
                const std::string& page = {}, const std::string& title = {});

    std::vector<Entry> list();  // in the order they run
    std::optional<Entry> entry(EntryId id);

    // What a person asks for; each returns how many entries it changed, -1 on a failure.
    int pause(const std::vector<EntryId>& ids);   // waiting or running: paused
    int resume(const std::vector<EntryId>& ids);  // paused or stopped: waiting
    int retry(const std::vector<EntryId>& ids);   // failed or stopped: waiting, tries from 0
    int remove(const std::vector<EntryId>& ids);
    // Moves an entry `steps` places earlier (negative) or later in the order.
    bool move(EntryId id, int steps);
    // Moves the entries one place at a time, together: one that meets the top (or the
    // bottom) or another of them that has stopped there stays, the others keep their order.
    bool move(const std::vector<EntryId>& ids, int steps);

    // For a download fetched outside the runner (the main window's batch).
    // Failed, stopped or paused entries wait again, their tries from 0.
    int queueAgain(const std::vector<EntryId>& ids);
    // The entry is running from now on; false when it was running already (someone fetches it).
    bool claim(EntryId id);

    // The runner's side.
    // `passOver`: entries another part of this process works through, left as they are.
    // Entries left running by a runner that ended without saying so wait again.
    int requeueRunning(const std::vector<EntryId>& passOver = {});
    // The first waiting entry whose time has come, now running; none when none is due.
    std::optional<Entry> claimNext(std::int64_t nowMs, const std::vector<EntryId>& passOver = {});
    // When the next waiting entry is due: none when nothing waits.
    std::optional<std::int64_t> nextDue(const std::vector<EntryId>& passOver = {});
    bool setTitle(EntryId id, const std::string& title, const std::string& file);
    bool setProgress(EntryId id, std::int64_t received, std::int64_t total);
    // The entry ended: saved (with its file), failed or stopped, unless someone paused or
    // removed it meanwhile.
    bool finish(EntryId id, EntryState state, const std::string& reason, const std::string& file = {});
    // A running entry waits again (the runner was stopped), or waits until `retryAt` after a
    // failure worth another try.
    bool requeue(EntryId id, const std::string& reason, std::optional<std::int64_t> retryAt = std::nullopt);

    // Changes when any connection, in this process or another, has changed the file since.
    std::int64_t dataVersion();

private:
    QueueStore(sqlite3* db, std::string path);
    int changeStates(const std::vector<EntryId>& ids, const char* sql);
    bool fail(const std::string& what);

    sqlite3* db_;
    std::string path_;
    std::string error_;
};

// Milliseconds since the epoch, as the store keeps times.
std::int64_t nowMs();

}  // namespace zenvira::queue
