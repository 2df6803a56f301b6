#pragma once
// What is kept beside an unfinished download (`<target>.part.state`) so a later start can
// take it up again: the address, the size, the server's validators and the byte ranges that
// are already in the `.part` file.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/policy/byte_ranges.h"

namespace zenvira::components {

// The resource as the server describes it now.
struct ResourceIdentity {
    std::int64_t size = -1;  // -1 when the server did not say
    std::string etag;
    std::string lastModified;
};

// Which download a file or a kept part belongs to: the watch page and its quality when the
// address came from one (stream addresses expire and change), else the address itself.
struct DownloadOrigin {
    std::string address;
    std::string page;
    std::string quality;

    // What the file's origin mark holds: the page, or the address without one.
    const std::string& url() const { return page.empty() ? address : page; }
    bool sameDownload(const DownloadOrigin& other) const {
        return url() == other.url() && quality == other.quality;
    }
};

struct PartState {
    DownloadOrigin origin;
    ResourceIdentity resource;
    ByteRanges done;
};

std::string serializePartState(const PartState& state);
std::optional<PartState> parsePartState(const std::string& text);

std::optional<PartState> readPartState(const std::string& path);
// Replaces the file in one step, on the disk before it returns, so a crash or a power cut
// leaves the old state or the new one.
bool writePartState(const std::string& path, const PartState& state);
// The state a job starts with. Where there was none and nothing is kept yet, it is written
// without waiting for the disk: lost in a power cut, it leaves a part without a state, which
// keeps nothing, as this one says. Otherwise as writePartState.
bool writeFirstPartState(const std::string& path, const PartState& state);
void removePartState(const std::string& path);

// Whether kept bytes may be joined with what the server sends now: same size, and the same
// ETag (or, without ETags, the same Last-Modified). When neither side has a validator the
// size alone decides, as with any resumable HTTP download.
bool sameResource(const ResourceIdentity& kept, const ResourceIdentity& now);

}  // namespace zenvira::components
