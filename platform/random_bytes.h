#pragma once
// Bytes from the system's source of randomness, fit for secrets (an address nobody can guess).
#include <cstddef>

namespace zenvira::platform {

// Fills `length` bytes; false when the system's source cannot be read.
bool randomBytes(void* buffer, std::size_t length);

}  // namespace zenvira::platform
