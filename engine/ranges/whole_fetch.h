#pragma once
// Fetches a resource over one connection from its first byte, for servers that send no parts
// or no size. A connection that breaks off cannot be taken up in the middle: the file starts
// over, a few times, before the download fails.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/transfer/fetch_context.h"
#include "engine/transfer/http_transfer.h"
#include "platform/random_access_file.h"

namespace zenvira::components {

class WholeFetch {
public:
    // knownSize: the size an earlier answer told (-1: none), the measure of a body that
    // comes without Content-Length.
    // firstBytes: the probe's answer, when it is the whole file from byte 0 and paused at its
    // body; the first attempt goes on with it.
    WholeFetch(FetchContext& context, platform::RandomAccessFile& file, std::string url, std::string shownName,
               std::int64_t knownSize = -1, std::shared_ptr<HttpTransfer> firstBytes = nullptr);

    PhaseResult run();
    // Bytes written by the last attempt: the size of the file once complete.
    std::int64_t received() const { return received_; }

private:
    enum class Ending { Complete, Retry, Failed, Stopped };

    Ending attempt(std::string& reason);
    bool runToEnd(HttpTransfer& transfer, CURLcode& code, bool onTheLoop);
    std::size_t takeBody(const char* data, std::size_t length);
    bool acceptHead(const ResponseHead& head);
    Ending judge(const HttpTransfer& transfer, CURLcode code, std::string& reason);
    std::string completionWarning() const;

    FetchContext& context_;
    platform::RandomAccessFile& file_;
    std::string url_;
    std::string shownName_;
    std::int64_t knownSize_;
    std::int64_t size_ = -1;      // from Content-Length, -1 when the server sent none
    bool lengthChecked_ = false;  // libcurl held the compressed body to its Content-Length
    std::int64_t received_ = 0;
    std::int64_t writebackFrom_ = 0;  // written bytes from here on are not yet on their way to the disk
    bool headAccepted_ = false;
    std::string fatal_;            // a reason that ends the download
    bool notMedia_ = false;        // ... because the first bytes are a page or text
    FailureCause cause_;  // of the last attempt's failure
    HttpTransfer* current_ = nullptr;
    std::shared_ptr<HttpTransfer> firstBytes_;
};

}  // namespace zenvira::components
