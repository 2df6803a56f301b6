#pragma once
// A media answer the page fetch began, paused at its body and put aside under its address,
// so that the download of that address goes on with it instead of asking again: neither the
// first bytes nor the connection are lost. It keeps the multi handle it runs on (an easy
// handle cannot leave its multi in the middle of an answer); the loop that adopts it drives
// that multi as a guest. What is not taken within a few seconds is let go.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "engine/transfer/http_transfer.h"
#include "engine/transfer/multi_loop.h"

namespace zenvira::components {

struct ParkedTransfer {
    std::string address;  // the address that was asked for
    std::unique_ptr<MultiLoop> loop;  // the multi it runs on, with a stop of its own
    std::shared_ptr<HttpTransfer> transfer;  // paused at its body, the body so far held in it
    std::chrono::steady_clock::time_point parkedAt;
};

// How long a parked answer waits for its download.
inline constexpr std::chrono::seconds kParkedFor{5};

// Puts the answer aside; one for an address at a time, the newest.
void parkTransfer(ParkedTransfer parked);
// The answer parked for `address`, when one is still fresh; it is no longer parked then.
std::optional<ParkedTransfer> takeParkedTransfer(const std::string& address);

}  // namespace zenvira::components
