#pragma once
#include <optional>
#include <string>

namespace zenvira::app {

// The row the List command adds for the address box's text: its first 42 characters when it
// holds the watch marker (case-sensitive), nothing otherwise.
std::optional<std::string> batchRowFor(const std::string& addressText);

// What List puts in the batch list: the row it shows (at most 42 characters) and the whole
// address the batch downloads, which a cut row would no longer name.
struct BatchEntry {
    std::string row;
    std::string address;
};

// An entry for a watch address as batchRowFor takes it, and for every other http or https
// address a resolver reads (an HLS playlist, a page of today's shape, a direct link). An
// address that spells the watch marker in another case is left out as batchRowFor leaves it.
std::optional<BatchEntry> batchEntryFor(const std::string& addressText);

}  // namespace zenvira::app
