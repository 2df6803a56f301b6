#pragma once
// How a download job ended, and the one place it meets the number ProcessCompleted carries
// (the classic codes 1 completed, 2 failed, 3 completed with warnings, 5 stopped). Everything
// above the downloader reads the code back through outcomeOfCode and works with JobOutcome.
#include <optional>

namespace zenvira::components {

enum class JobOutcome { Completed, Failed, CompletedWithWarnings, Stopped };

constexpr int processCompletedCode(JobOutcome outcome) {
    switch (outcome) {
    case JobOutcome::Completed: return 1;
    case JobOutcome::Failed: return 2;
    case JobOutcome::CompletedWithWarnings: return 3;
    case JobOutcome::Stopped: return 5;
    }
    return 2;
}

// None for a code that is no final outcome.
constexpr std::optional<JobOutcome> outcomeOfCode(int code) {
    for (const auto outcome :
         {JobOutcome::Completed, JobOutcome::Failed, JobOutcome::CompletedWithWarnings, JobOutcome::Stopped})
        if (processCompletedCode(outcome) == code) return outcome;
    return std::nullopt;
}

// The file is there under its name: completed, with or without warnings.
constexpr bool fileSaved(JobOutcome outcome) {
    return outcome == JobOutcome::Completed || outcome == JobOutcome::CompletedWithWarnings;
}

}  // namespace zenvira::components
