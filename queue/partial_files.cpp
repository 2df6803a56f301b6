#include "queue/partial_files.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/random_access_file.h"

namespace zenvira::queue {

namespace {

// How long a download that is being stopped may keep its part.
constexpr auto kLetGoWithin = std::chrono::seconds(5);

}  // namespace

bool removePartialFiles(const std::string& file, std::string& error) {
    if (file.empty()) return true;
    const std::string part = file + ".part", state = part + ".state";
    std::error_code code;
    if (std::filesystem::exists(part, code)) {
        // A running download holds its part locked; it lets go once it has stopped.
        platform::RandomAccessFile held;
        if (!held.open(part, false, error)) return false;
        const auto until = std::chrono::steady_clock::now() + kLetGoWithin;
        for (;;) {
            const auto lock = held.tryLock(error);
            if (lock == platform::RandomAccessFile::Lock::Taken) break;
            if (lock == platform::RandomAccessFile::Lock::Failed) return false;
            if (std::chrono::steady_clock::now() >= until) {
                error = "The partial file " + part + " is still being written";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!std::filesystem::remove(part, code) && code) {
            error = "Cannot delete " + part + ": " + code.message();
            return false;
        }
    }
    if (!std::filesystem::remove(state, code) && code) {
        error = "Cannot delete " + state + ": " + code.message();
        return false;
    }
    return true;
}

}  // namespace zenvira::queue
