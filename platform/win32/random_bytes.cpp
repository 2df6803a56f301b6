#include "platform/random_bytes.h"

#include <windows.h>
// bcrypt.h needs windows.h before it.
#include <bcrypt.h>

namespace zenvira::platform {

bool randomBytes(void* buffer, std::size_t length) {
    return BCryptGenRandom(nullptr, static_cast<PUCHAR>(buffer), static_cast<ULONG>(length),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

}  // namespace zenvira::platform
