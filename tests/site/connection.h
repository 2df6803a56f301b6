#pragma once
// One accepted client socket: reads request heads and bodies, writes whole buffers. Writes
// never raise SIGPIPE; a peer that went away just makes them fail.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zenvira::site {

class Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}

    enum class HeadResult { Complete, Closed, TooLarge };
    // The next request head (up to and including its blank line) into head.
    HeadResult readHead(std::string& head);
    // Reads and drops a request body of this many bytes; false when the peer left.
    bool discardBody(std::uint64_t length);

    std::uint64_t serial = 0;  // which connection of the site's this is, from 1

    bool sendAll(std::string_view data);
    bool sendAll(const std::uint8_t* data, std::size_t length);
    // Closing then sends a reset (RST) instead of an orderly end: a server that crashed.
    void resetOnClose();

private:
    bool fill();  // one recv() into the buffer; false at end of stream or error

    static constexpr std::size_t kMaxHeadBytes = 64 * 1024;
    int fd_;
    std::string buffered_;  // received bytes not consumed yet (pipelined requests)
};

}  // namespace zenvira::site
