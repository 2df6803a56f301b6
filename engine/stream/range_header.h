#pragma once
// The Range header of a request to the local stream, read against the file's size: one range
// of bytes ("bytes=500-", "bytes=0-999", "bytes=-500"); anything else asks for the whole file.
#include <cstdint>
#include <string_view>

namespace zenvira::components {

struct RequestedBytes {
    enum class Kind { Whole, Part, Unsatisfiable };
    Kind kind = Kind::Whole;
    std::int64_t first = 0;  // the first byte sent
    std::int64_t last = -1;  // the last byte sent (size - 1 for the whole file)
    std::int64_t length() const { return last - first + 1; }
};

// `header` empty: no Range header came.
RequestedBytes requestedBytes(std::string_view header, std::int64_t size);

}  // namespace zenvira::components
