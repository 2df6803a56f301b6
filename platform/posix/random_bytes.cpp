#include "platform/random_bytes.h"

#include <sys/random.h>

#include <cerrno>

namespace zenvira::platform {

bool randomBytes(void* buffer, std::size_t length) {
    auto* at = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const ssize_t got = getrandom(at, length, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        at += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace zenvira::platform
