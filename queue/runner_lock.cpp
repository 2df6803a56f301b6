#include "queue/runner_lock.h"

namespace zenvira::queue {

std::string lockPathOf(const std::string& queuePath) { return queuePath + ".lock"; }

std::unique_ptr<RunnerLock> RunnerLock::take(const std::string& queuePath, Result& result, std::string& error) {
    std::unique_ptr<RunnerLock> lock(new RunnerLock);
    const std::string path = lockPathOf(queuePath);
    if (!lock->file_.open(path, false, error)) {
        result = Result::Failed;
        error = "Cannot open " + path + ": " + error;
        return nullptr;
    }
    switch (lock->file_.tryLock(error)) {
        case platform::RandomAccessFile::Lock::Taken:
            result = Result::Taken;
            return lock;
        case platform::RandomAccessFile::Lock::Busy:
            result = Result::Busy;
            error = "Another Zenvira is running the queue " + queuePath + "; its downloads go on there";
            return nullptr;
        case platform::RandomAccessFile::Lock::Failed:
            break;
    }
    result = Result::Failed;
    error = "Cannot lock " + path + ": " + error;
    return nullptr;
}

}  // namespace zenvira::queue
