#include "queue/queue_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/path_mapping.h"

namespace zenvira::queue {

namespace {

// "ZVQ1": marks the file as a Zenvira queue, so another program's database is told apart.
constexpr int kApplicationId = 0x5A565131;
constexpr int kSchemaVersion = 1;
// How long a change waits for another writer before it gives up.
constexpr int kBusyMilliseconds = 3000;

constexpr const char* kSchema = R"sql(
CREATE TABLE entries(
  id INTEGER PRIMARY KEY,
  address TEXT NOT NULL,
  quality INTEGER NOT NULL DEFAULT 0,
  folder TEXT NOT NULL DEFAULT '',
  page TEXT NOT NULL DEFAULT '',
  title TEXT NOT NULL DEFAULT '',
  state TEXT NOT NULL DEFAULT 'waiting',
  reason TEXT NOT NULL DEFAULT '',
  file TEXT NOT NULL DEFAULT '',
  received INTEGER NOT NULL DEFAULT 0,
  total INTEGER NOT NULL DEFAULT -1,
  attempts INTEGER NOT NULL DEFAULT 0,
  retry_at INTEGER NOT NULL DEFAULT 0,
  position INTEGER NOT NULL,
  added INTEGER NOT NULL,
  changed INTEGER NOT NULL,
  UNIQUE(address, quality));
CREATE INDEX entries_order ON entries(state, position);
)sql";

constexpr const char* kColumns =
    "id, address, quality, folder, page, title, state, reason, file, received, total, attempts, retry_at, added, changed";

// One prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { status_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return status_ == SQLITE_OK; }
    Statement& bind(int at, std::int64_t value) {
        sqlite3_bind_int64(statement_, at, value);
        return *this;
    }
    Statement& bind(int at, const std::string& text) {
        sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return prepared() ? sqlite3_step(statement_) : status_; }
    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    void read(int column, std::int64_t& value) const { value = integer(column); }
    void read(int column, int& value) const { value = static_cast<int>(integer(column)); }
    void read(int column, std::string& value) const { value = text(column); }
    std::string text(int column) const {
        const auto* bytes = sqlite3_column_text(statement_, column);
        return bytes ? std::string(reinterpret_cast<const char*>(bytes),
                                   static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                     : std::string();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    int status_ = SQLITE_OK;
};

// Reads the row's columns in their order into the fields given.
template <typename... Fields>
void readColumns(const Statement& row, Fields&... fields) {
    int column = 0;
    (row.read(column++, fields), ...);
}

// A row of kColumns.
Entry entryOf(const Statement& row) {
    Entry entry;
    std::string state;
    readColumns(row, entry.id, entry.address, entry.quality, entry.folder, entry.page, entry.title, state, entry.reason,
                entry.file, entry.received, entry.total, entry.attempts, entry.retryAt, entry.added, entry.changed);
    entry.state = stateOfName(state).value_or(EntryState::Failed);
    return entry;
}

// " AND id NOT IN (...)" for the ids given (numbers only), or nothing.
std::string noneOf(const std::vector<EntryId>& ids) {
    if (ids.empty()) return {};
    std::string clause = " AND id NOT IN (";
    for (std::size_t k = 0; k < ids.size(); ++k) clause += (k ? "," : "") + std::to_string(ids[k]);
    return clause + ")";
}

bool execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

std::int64_t pragmaNumber(sqlite3* db, const char* sql, int& status) {
    Statement statement(db, sql);
    status = statement.step();
    if (status != SQLITE_ROW) return 0;
    status = SQLITE_OK;
    return statement.integer(0);
}

bool isBusy(int status) { return (status & 0xff) == SQLITE_BUSY || (status & 0xff) == SQLITE_LOCKED; }

// Why a queue file cannot be used, in a sentence that names it.
std::string refusal(const std::string& path, int status, sqlite3* db) {
    const int primary = status & 0xff;
    if (isBusy(status))
        return "The queue " + path + " is locked by another program; try again when it has finished";
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return "The queue " + path + " is damaged or is no queue; it was left as it is (move it away to start a new one)";
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_PERM || primary == SQLITE_READONLY)
        return "The queue " + path + " cannot be opened for writing";
    return "The queue " + path + " cannot be used: " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(status));
}

// One write transaction; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { begun_ = execute(db_, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (begun_ && !committed_) execute(db_, "ROLLBACK");
    }
    bool begun() const { return begun_; }
    bool commit() { return committed_ = begun_ && execute(db_, "COMMIT"); }

private:
    sqlite3* db_;
    bool begun_ = false;
    bool committed_ = false;
};

}  // namespace

std::string_view stateName(EntryState state) {
    switch (state) {
        case EntryState::Waiting: return "waiting";
        case EntryState::Running: return "running";
        case EntryState::Paused: return "paused";
        case EntryState::Saved: return "saved";
        case EntryState::Failed: return "failed";
        case EntryState::Stopped: return "stopped";
    }
    return "failed";
}

std::optional<EntryState> stateOfName(std::string_view name) {
    for (auto state : {EntryState::Waiting, EntryState::Running, EntryState::Paused, EntryState::Saved,
                       EntryState::Failed, EntryState::Stopped})
        if (stateName(state) == name) return state;
    return std::nullopt;
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

QueueStore::Opened QueueStore::open(const std::string& path) {
    if (path.empty()) return {nullptr, "No folder for the queue is known: name one with --queue or ZENVIRA_QUEUE"};
    const auto folder = std::filesystem::path(path).parent_path();
    std::string folderError;
    if (!folder.empty() && !platform::ensureFolder(folder.string(), folderError))
        return {nullptr, "Cannot make the folder of the queue " + path + ": " + folderError};

    sqlite3* db = nullptr;
    int status = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                 nullptr);
    if (status != SQLITE_OK) {
        std::string error = refusal(path, status, db);
        sqlite3_close(db);
        return {nullptr, error};
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    const auto refuse = [&](int why) {
        std::string error = refusal(path, why, db);
        sqlite3_close(db);
        return Opened{nullptr, error};
    };

    // Read what the file is before anything is written to it.
    const std::int64_t applicationId = pragmaNumber(db, "PRAGMA application_id", status);
    if (status != SQLITE_OK) return refuse(status);
    const std::int64_t version = pragmaNumber(db, "PRAGMA user_version", status);
    if (status != SQLITE_OK) return refuse(status);
    const std::int64_t objects = pragmaNumber(db, "SELECT count(*) FROM sqlite_master", status);
    if (status != SQLITE_OK) return refuse(status);
    if (applicationId != kApplicationId && (applicationId != 0 || objects != 0)) {
        sqlite3_close(db);
        return {nullptr, "The file " + path + " is no Zenvira queue; it was left as it is"};
    }
    if (applicationId == kApplicationId && version > kSchemaVersion) {
        sqlite3_close(db);
        return {nullptr, "The queue " + path + " was written by a newer Zenvira; it was left as it is"};
    }

    {
        Statement wal(db, "PRAGMA journal_mode=WAL");
        if (const int walStatus = wal.step(); walStatus != SQLITE_ROW) return refuse(walStatus);
    }
    execute(db, "PRAGMA synchronous=FULL");
    if (objects == 0) {
        Transaction create(db);
        if (!create.begun()) return refuse(sqlite3_extended_errcode(db));
        // Another process may have made it meanwhile: only an empty file gets the schema.
        const std::int64_t madeMeanwhile = pragmaNumber(db, "SELECT count(*) FROM sqlite_master", status);
        if (status != SQLITE_OK) return refuse(status);
        if (madeMeanwhile == 0) {
            const std::string schema = std::string(kSchema) + "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                       "; PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
            if (!execute(db, schema.c_str())) return refuse(sqlite3_extended_errcode(db));
        }
        if (!create.commit()) return refuse(sqlite3_extended_errcode(db));
    }
    return {std::unique_ptr<QueueStore>(new QueueStore(db, path)), {}};
}

QueueStore::QueueStore(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

QueueStore::~QueueStore() { sqlite3_close(db_); }

bool QueueStore::fail(const std::string& what) {
    const int status = sqlite3_extended_errcode(db_);
    error_ = isBusy(status) ? refusal(path_, status, db_)
                            : "Cannot " + what + " in the queue " + path_ + ": " + sqlite3_errmsg(db_);
    return false;
}

EntryId QueueStore::add(const std::string& address, int quality, const std::string& folder, const std::string& page,
                        const std::string& title) {
    Transaction change(db_);
    if (!change.begun()) return fail("add an entry"), 0;
    {
        Statement known(db_, "SELECT id FROM entries WHERE address = ?1 AND quality = ?2");
        known.bind(1, address).bind(2, quality);
        if (const int status = known.step(); status == SQLITE_ROW) return known.integer(0);
        else if (status != SQLITE_DONE) return fail("add an entry"), 0;
    }
    const std::int64_t now = nowMs();
    Statement insert(db_,
                     "INSERT INTO entries(address, quality, folder, page, title, position, added, changed) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, (SELECT coalesce(max(position), 0) + 1 FROM entries), ?6, ?6)");
    insert.bind(1, address).bind(2, quality).bind(3, folder).bind(4, page).bind(5, title).bind(6, now);
    if (insert.step() != SQLITE_DONE) return fail("add an entry"), 0;
    const EntryId id = sqlite3_last_insert_rowid(db_);
    if (!change.commit()) return fail("add an entry"), 0;
    return id;
}

std::vector<Entry> QueueStore::list() {
    std::vector<Entry> entries;
    Statement rows(db_, (std::string("SELECT ") + kColumns + " FROM entries ORDER BY position").c_str());
    int status;
    while ((status = rows.step()) == SQLITE_ROW) entries.push_back(entryOf(rows));
    if (status != SQLITE_DONE) fail("read the entries");
    return entries;
}

std::optional<Entry> QueueStore::entry(EntryId id) {
    Statement row(db_, (std::string("SELECT ") + kColumns + " FROM entries WHERE id = ?1").c_str());
    row.bind(1, id);
    if (row.step() == SQLITE_ROW) return entryOf(row);
    return std::nullopt;
}

int QueueStore::changeStates(const std::vector<EntryId>& ids, const char* sql) {
    Transaction change(db_);
    if (!change.begun()) return fail("change the entries"), -1;
    int changed = 0;
    for (const EntryId id : ids) {
        Statement update(db_, sql);
        update.bind(1, id).bind(2, nowMs());
        if (update.step() != SQLITE_DONE) return fail("change the entries"), -1;
        changed += sqlite3_changes(db_);
    }
    if (!change.commit()) return fail("change the entries"), -1;
    return changed;
}

int QueueStore::pause(const std::vector<EntryId>& ids) {
    return changeStates(ids,
                        "UPDATE entries SET state = 'paused', reason = '', changed = ?2 "
                        "WHERE id = ?1 AND state IN ('waiting', 'running')");
}

int QueueStore::resume(const std::vector<EntryId>& ids) {
    return changeStates(ids,
                        "UPDATE entries SET state = 'waiting', reason = '', retry_at = 0, changed = ?2 "
                        "WHERE id = ?1 AND state IN ('paused', 'stopped')");
}

int QueueStore::retry(const std::vector<EntryId>& ids) {
    return changeStates(ids,
                        "UPDATE entries SET state = 'waiting', reason = '', attempts = 0, retry_at = 0, changed = ?2 "
                        "WHERE id = ?1 AND state IN ('failed', 'stopped')");
}

int QueueStore::remove(const std::vector<EntryId>& ids) {
    return changeStates(ids, "DELETE FROM entries WHERE id = ?1 AND ?2 IS NOT NULL");
}

bool QueueStore::move(EntryId id, int steps) { return move(std::vector<EntryId>{id}, steps); }

bool QueueStore::move(const std::vector<EntryId>& ids, int steps) {
    Transaction change(db_);
    if (!change.begun()) return fail("move an entry");
    std::vector<std::pair<EntryId, bool>> order;  // id, among those moved
    {
        Statement rows(db_, "SELECT id FROM entries ORDER BY position");
        while (rows.step() == SQLITE_ROW) {
            const EntryId id = rows.integer(0);
            order.emplace_back(id, std::find(ids.begin(), ids.end(), id) != ids.end());
        }
    }
    if (std::none_of(order.begin(), order.end(), [](const auto& row) { return row.second; }))
        return error_ = "No entry " + (ids.empty() ? std::string() : std::to_string(ids.front())) + " in the queue",
               false;
    // One place a step: each moved entry trades places with the unmoved one beside it.
    for (int step = 0; step < std::abs(steps); ++step) {
        if (steps < 0) {
            for (std::size_t k = 1; k < order.size(); ++k)
                if (order[k].second && !order[k - 1].second) std::swap(order[k], order[k - 1]);
        } else {
            for (std::size_t k = order.size(); k-- > 1;)
                if (order[k - 1].second && !order[k].second) std::swap(order[k], order[k - 1]);
        }
    }
    for (std::size_t k = 0; k < order.size(); ++k) {
        Statement update(db_, "UPDATE entries SET position = ?2 WHERE id = ?1");
        update.bind(1, order[k].first).bind(2, static_cast<std::int64_t>(k + 1));
        if (update.step() != SQLITE_DONE) return fail("move an entry");
    }
    return change.commit() || fail("move an entry");
}

int QueueStore::queueAgain(const std::vector<EntryId>& ids) {
    return changeStates(ids,
                        "UPDATE entries SET state = 'waiting', reason = '', attempts = 0, retry_at = 0, changed = ?2 "
                        "WHERE id = ?1 AND state IN ('failed', 'stopped', 'paused')");
}

bool QueueStore::claim(EntryId id) {
    const int changed = changeStates({id},
                                     "UPDATE entries SET state = 'running', reason = '', changed = ?2 "
                                     "WHERE id = ?1 AND state != 'running'");
    return changed > 0;
}

int QueueStore::requeueRunning(const std::vector<EntryId>& passOver) {
    Statement update(db_, ("UPDATE entries SET state = 'waiting', reason = 'Taken up again after an interruption', "
                           "changed = ?1 WHERE state = 'running'" +
                           noneOf(passOver))
                              .c_str());
    update.bind(1, nowMs());
    if (update.step() != SQLITE_DONE) return fail("take up the running entries"), -1;
    return sqlite3_changes(db_);
}

std::optional<Entry> QueueStore::claimNext(std::int64_t now, const std::vector<EntryId>& passOver) {
    Transaction change(db_);
    if (!change.begun()) return fail("start an entry"), std::nullopt;
    std::optional<Entry> next;
    {
        Statement row(db_,
                      (std::string("SELECT ") + kColumns + " FROM entries WHERE state = 'waiting' AND retry_at <= ?1" +
                       noneOf(passOver) + " ORDER BY position LIMIT 1")
                          .c_str());
        row.bind(1, now);
        if (row.step() == SQLITE_ROW) next = entryOf(row);
    }
    if (!next) return std::nullopt;
    Statement update(db_, "UPDATE entries SET state = 'running', reason = '', changed = ?2 WHERE id = ?1");
    update.bind(1, next->id).bind(2, now);
    if (update.step() != SQLITE_DONE || !change.commit()) return fail("start an entry"), std::nullopt;
    next->state = EntryState::Running;
    next->reason.clear();
    return next;
}

std::optional<std::int64_t> QueueStore::nextDue(const std::vector<EntryId>& passOver) {
    Statement count(
        db_, ("SELECT count(*), coalesce(min(retry_at), 0) FROM entries WHERE state = 'waiting'" + noneOf(passOver))
                 .c_str());
    if (count.step() != SQLITE_ROW || count.integer(0) == 0) return std::nullopt;
    return count.integer(1);
}

bool QueueStore::setTitle(EntryId id, const std::string& title, const std::string& file) {
    Statement update(db_, "UPDATE entries SET title = ?2, file = ?3, changed = ?4 WHERE id = ?1");
    update.bind(1, id).bind(2, title).bind(3, file).bind(4, nowMs());
    return update.step() == SQLITE_DONE || fail("name an entry");
}

bool QueueStore::setProgress(EntryId id, std::int64_t received, std::int64_t total) {
    Statement update(db_, "UPDATE entries SET received = ?2, total = ?3 WHERE id = ?1");
    update.bind(1, id).bind(2, received).bind(3, total);
    return update.step() == SQLITE_DONE || fail("record the progress of an entry");
}

bool QueueStore::finish(EntryId id, EntryState state, const std::string& reason, const std::string& file) {
    // A saved file is said whatever happened meanwhile; a failure or a stop only for an entry
    // still running (a pause or a removal came first and is what the person wants).
    const char* sql = state == EntryState::Saved
                          ? "UPDATE entries SET state = ?2, reason = ?3, file = CASE WHEN ?4 = '' THEN file ELSE ?4 END, "
                            "changed = ?5, received = CASE WHEN total > 0 THEN total ELSE received END WHERE id = ?1"
                          : "UPDATE entries SET state = ?2, reason = ?3, file = CASE WHEN ?4 = '' THEN file ELSE ?4 END, "
                            "changed = ?5 WHERE id = ?1 AND state = 'running'";
    Statement update(db_, sql);
    update.bind(1, id).bind(2, std::string(stateName(state))).bind(3, reason).bind(4, file).bind(5, nowMs());
    return update.step() == SQLITE_DONE || fail("finish an entry");
}

bool QueueStore::requeue(EntryId id, const std::string& reason, std::optional<std::int64_t> retryAt) {
    Statement update(db_,
                     retryAt ? "UPDATE entries SET state = 'waiting', reason = ?2, retry_at = ?3, attempts = attempts + 1, "
                               "changed = ?4 WHERE id = ?1 AND state = 'running'"
                             : "UPDATE entries SET state = 'waiting', reason = ?2, changed = ?4 "
                               "WHERE id = ?1 AND state = 'running' AND ?3 IS NOT NULL");
    update.bind(1, id).bind(2, reason).bind(3, retryAt.value_or(0)).bind(4, nowMs());
    return update.step() == SQLITE_DONE || fail("put an entry back");
}

std::int64_t QueueStore::dataVersion() {
    int status;
    return pragmaNumber(db_, "PRAGMA data_version", status);
}

}  // namespace zenvira::queue
