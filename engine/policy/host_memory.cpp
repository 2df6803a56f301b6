#include "engine/policy/host_memory.h"

#include <algorithm>
#include <charconv>

namespace zenvira::components {

namespace {

std::int64_t secondsOf(HostMemory::WallClock::time_point when) {
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

std::string_view nextWord(std::string_view& line) {
    const auto begin = line.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return line = {};
    line.remove_prefix(begin);
    const auto end = std::min(line.find_first_of(" \t\r"), line.size());
    const std::string_view word = line.substr(0, end);
    line.remove_prefix(end);
    return word;
}

template <typename Number>
bool readNumber(std::string_view word, Number& value) {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc{} && end == word.data() + word.size();
}

}  // namespace

bool HostTable::fresh(const Entry& entry, std::int64_t now) {
    // A clock set back makes an entry look young: one from more than a day ahead goes too.
    const std::int64_t day = std::chrono::duration_cast<std::chrono::seconds>(HostMemory::kKeptFor).count();
    return entry.seenAt > now - day && entry.seenAt < now + day;
}

HostTable HostTable::parse(std::string_view text) {
    HostTable table;
    while (!text.empty()) {
        const auto lineEnd = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(std::min(lineEnd + 1, text.size()));
        Entry entry;
        const std::string_view server = nextWord(line);
        if (server.empty() || !readNumber(nextWord(line), entry.connections) ||
            !readNumber(nextWord(line), entry.seenAt) || !nextWord(line).empty() || entry.connections < 1)
            continue;
        entry.server = server;
        table.entries_.push_back(std::move(entry));
    }
    return table;
}

std::string HostTable::text() const {
    std::string text;
    for (const auto& entry : entries_)
        text += entry.server + ' ' + std::to_string(entry.connections) + ' ' + std::to_string(entry.seenAt) + '\n';
    return text;
}

std::optional<int> HostTable::recall(const std::string& server, HostMemory::WallClock::time_point now) const {
    const auto entry =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.server == server; });
    if (entry == entries_.end() || !fresh(*entry, secondsOf(now))) return std::nullopt;
    return entry->connections;
}

bool HostTable::remember(const std::string& server, int connections, HostMemory::WallClock::time_point now) {
    if (server.empty() || server.find_first_of(" \t\r\n") != std::string::npos || connections < 1) return false;
    const std::int64_t seconds = secondsOf(now);
    const std::size_t before = entries_.size();
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return !fresh(e, seconds); }),
                   entries_.end());
    bool changed = entries_.size() != before;
    auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.server == server; });
    const std::int64_t refresh = std::chrono::duration_cast<std::chrono::seconds>(kRefreshAfter).count();
    if (entry != entries_.end() && entry->connections == connections && seconds - entry->seenAt < refresh)
        return changed;
    if (entry == entries_.end()) {
        if (entries_.size() >= kMostServers)
            entries_.erase(std::min_element(entries_.begin(), entries_.end(),
                                            [](const Entry& a, const Entry& b) { return a.seenAt < b.seenAt; }));
        entry = entries_.insert(entries_.end(), Entry{server, 0, 0});
    }
    entry->connections = connections;
    entry->seenAt = seconds;
    return true;
}

}  // namespace zenvira::components
