#pragma once
// One runner at a time for a queue: an exclusive lock on `QUEUE.lock` beside the database,
// held for as long as this object lives. The system drops it when the process ends in any
// way, so a runner that was killed never keeps the next one out.
#include <memory>
#include <string>

#include "platform/random_access_file.h"

namespace zenvira::queue {

class RunnerLock {
public:
    enum class Result { Taken, Busy, Failed };
    // `error` says why on Busy and Failed.
    static std::unique_ptr<RunnerLock> take(const std::string& queuePath, Result& result, std::string& error);

private:
    RunnerLock() = default;
    platform::RandomAccessFile file_;
};

std::string lockPathOf(const std::string& queuePath);

}  // namespace zenvira::queue
