#include "engine/journal/fragment_journal.h"

#include <fstream>
#include <sstream>

#include "platform/file_system.h"

namespace zenvira::components {

namespace {

constexpr const char* kHeader = "zenvira-fragments 1";

// Fields are separated by tabs; a validator holds none (they come from one header line).
std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) out.push_back(field);
    if (!line.empty() && line.back() == '\t') out.emplace_back();
    return out;
}

std::string clean(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

std::string recordLine(const FragmentRecord& record) {
    return "done\t" + std::to_string(record.index) + "\t" + std::to_string(record.length) + "\t" +
           clean(record.validator) + "\n";
}

std::optional<FragmentRecord> parseRecord(const std::string& line) {
    const auto parts = fields(line);
    if (parts.size() != 4 || parts[0] != "done") return std::nullopt;
    try {
        std::size_t used = 0;
        FragmentRecord record;
        record.index = static_cast<std::size_t>(std::stoull(parts[1], &used));
        if (used != parts[1].size()) return std::nullopt;
        record.length = std::stoll(parts[2], &used);
        if (used != parts[2].size() || record.length < 0) return std::nullopt;
        record.validator = parts[3];
        return record;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

bool TrustedPlaylist::sameAs(const TrustedPlaylist& other) const {
    if (address != other.address || digest != other.digest) return false;
    if (!etag.empty() && !other.etag.empty() && etag != other.etag) return false;
    if (!lastModified.empty() && !other.lastModified.empty() && lastModified != other.lastModified) return false;
    return true;
}

std::optional<FragmentState> readFragmentState(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    std::vector<std::string> lines;
    // Only lines with their end: the last one may have been cut by a crash.
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    if (lines.size() < 2 || lines[0] != kHeader) return std::nullopt;
    const auto head = fields(lines[1]);
    if (head.size() != 5 || head[0] != "playlist") return std::nullopt;
    FragmentState state;
    state.playlist = {head[1], head[2], head[3], head[4]};
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const auto record = parseRecord(lines[i]);
        if (!record) break;  // nothing after a garbled line is trusted
        state.done[record->index] = *record;
    }
    return state;
}

FragmentJournal::~FragmentJournal() { stopWriter(); }

bool FragmentJournal::begin(const std::string& path, const FragmentState& state, std::string& error) {
    std::string text = std::string(kHeader) + "\n";
    const auto& playlist = state.playlist;
    text += "playlist\t" + clean(playlist.address) + "\t" + clean(playlist.etag) + "\t" + clean(playlist.lastModified) +
            "\t" + clean(playlist.digest) + "\n";
    for (const auto& [index, record] : state.done) text += recordLine(record);
    // The fragments kept are on the disk already: the run that recorded them synced them.
    if (!platform::replaceFileDurably(path, text, error)) return false;
    if (!journal_.open(path, false, error)) return false;
    cadence_ = JournalCadence(Clock::now(), addedBytes_);
    quit_ = false;  // a journal begun again after finish() needs its writer to stay
    writer_ = std::thread([this] { writerLoop(); });
    return true;
}

void FragmentJournal::add(const FragmentRecord& record, const std::string& file) {
    unhanded_.push_back({record, file});
    addedBytes_ += record.length;
    tick();
}

void FragmentJournal::tick() {
    if (!unhanded_.empty() && cadence_.due(Clock::now(), addedBytes_)) hand();
}

void FragmentJournal::hand() {
    {
        std::lock_guard lock(mutex_);
        pending_.insert(pending_.end(), unhanded_.begin(), unhanded_.end());
    }
    unhanded_.clear();
    wake_.notify_one();
}

void FragmentJournal::writerLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return quit_ || !pending_.empty(); });
        if (pending_.empty()) return;  // quit, with nothing left to write
        std::vector<Entry> entries = std::move(pending_);
        pending_.clear();
        lock.unlock();
        write(entries);
        lock.lock();
    }
}

void FragmentJournal::write(const std::vector<Entry>& entries) {
    std::string lines;
    std::string error;
    for (const auto& entry : entries) {
        platform::RandomAccessFile data;
        // A fragment not surely on the disk is not recorded: the next run fetches it again.
        if (!data.open(entry.file, false, error) || data.size() != entry.record.length || !data.flush(error)) continue;
        lines += recordLine(entry.record);
    }
    if (lines.empty() || !journal_.isOpen()) return;
    const std::int64_t end = journal_.size();
    if (end < 0 || !journal_.writeAt(lines.data(), lines.size(), end, error)) return;
    journal_.flush(error);
}

void FragmentJournal::stopWriter() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) writer_.join();
}

void FragmentJournal::finish() {
    if (!unhanded_.empty()) hand();
    stopWriter();  // the writer empties what is pending before it ends
    journal_.close();
}

}  // namespace zenvira::components
