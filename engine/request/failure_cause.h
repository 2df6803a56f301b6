#pragma once
// What kind of failure ended a download, as data beside the sentence a person reads, so that
// what comes next (another try later, or none) is decided on the kind and never on words.
namespace zenvira::components {

enum class FailureKind {
    Unknown,  // not said
    Network,  // the server could not be reached, broke off or went silent
    HttpStatus,  // the server answered with an error status
    Disk,  // the file could not be made or written: no room, no permission
    Content,  // what the server sent is not what was asked for, or cannot be used
    TargetBusy,  // another download (in this process or another) is writing the same file now
};

struct FailureCause {
    FailureKind kind = FailureKind::Unknown;
    long httpStatus = 0;  // with HttpStatus: the status the server answered

    static constexpr FailureCause ofStatus(long status) { return {FailureKind::HttpStatus, status}; }
};

}  // namespace zenvira::components
