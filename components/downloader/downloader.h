#pragma once
// The downloader the main window drives, with the properties, operations and events of the
// old clDownLoader control, on libcurl.
//
// - TuningValueA: the parallel connections a download starts with (1..16; below 1 counts as
//   1). When the server tells the size and sends parts, the file comes in byte ranges at once,
//   and more connections are added while each raises the total rate (at most 16 to one host
//   over all downloads); otherwise over one connection.
// - TuningValueB: the smallest piece, in KiB, worth its own connection at the start (0 or
//   less: no minimum), so with 4096 a file under 8 MiB starts over one connection, one of 8
//   to 12 MiB over two. It is no floor later: a slow connection hands back its piece.
// - Data go to `<target>.part`, which is renamed onto the target only once every byte has
//   come: a failed or stopped download never leaves a truncated file under the final name
//   and never touches a complete file already there. Stop and failure keep the `.part` and
//   `<target>.part.state` (address, size, ETag, Last-Modified, ranges on the disk); the next
//   Start of the same address and target takes them up when the server's size and ETag (or
//   Last-Modified) still match, and starts over when they do not.
// - Only one job at a time per target, in any process; a finished file of another download is
//   never replaced (the new one becomes "NAME (2).flv"), and the same download already done
//   is reported done at once. See target_claim.h, range_fetch.h and part_journal.h for how
//   pieces move between connections and how a crash keeps what was on the disk.
// - A connection that breaks off or stalls for 30 s is taken up again where it stopped, up to
//   5 times in a row with waits of 0.2, 0.4, 0.8, 1.6 and 3.2 s; an attempt that brought
//   1 MiB or more counts as a working connection and starts the count afresh. Without parts
//   from the server, the file starts over instead. A server that cannot be reached at all
//   (no such host, connection refused) fails the download at once.
//
// Events come on the thread that owns the object, through its event loop; the transfer runs
// on a thread of its own that never touches the UI. Exactly one ProcessCompleted per Start:
//   1  complete: every byte came and the size was checked;
//   2  failed: ErrorInfo().ErrorText says why;
//   3  complete with warnings (ErrorText says which): the server told no size at all, so the
//      size could not be checked; or a Content-Length disagreed with the byte ranges the
//      server named while every byte of every range came. A body shorter than announced is
//      a broken connection, taken up again or failed, never a success;
//   5  stopped by Stop.
// Progress comes at most ten times a second while data arrive, plus one last time before
// outcomes 1 and 3 so a display can show 100 %; never after ProcessCompleted.
// Shutdown stops a running transfer without waiting for its thread: the run is cancelled and
// let go, it ends and frees itself, and nothing of it is delivered any more. Its outcome 5
// arrives through the event loop when that runs again, unless a new Start came first: the
// new run never sees the old one's end. The destructor lets go the same way and delivers
// nothing. Runs let go are joined once they have ended, and waited for only when the process
// ends.
#include <QObject>

#include <functional>
#include <memory>
#include <string>

#include "engine/download_job.h"
#include "engine/transfer/progress_meter.h"

namespace zenvira::components {

struct DownloadError {
    std::string ErrorText;
};

class clDownLoader : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; Clever Internet Suite)";

    explicit clDownLoader(QObject* parent = nullptr);
    ~clDownLoader() override;

    const std::string& SourceAddress() const { return sourceAddress_; }
    void setSourceAddress(const std::string& address) { sourceAddress_ = address; }
    const std::string& LocalFileName() const { return localFileName_; }
    void setLocalFileName(const std::string& name) { localFileName_ = name; }
    const std::string& LocalFolder() const { return localFolder_; }
    void setLocalFolder(const std::string& folder) { localFolder_ = folder; }
    int TuningValueA() const { return tuningValueA_; }
    void setTuningValueA(int connections) { tuningValueA_ = connections; }
    // At most this many bytes a second over all connections of a job (0 or less: no limit).
    std::int64_t MaxBytesPerSecond() const { return maxBytesPerSecond_; }
    void setMaxBytesPerSecond(std::int64_t bytesPerSecond) { maxBytesPerSecond_ = bytesPerSecond; }
    int TuningValueB() const { return tuningValueB_; }
    void setTuningValueB(int smallestPieceKiB) { tuningValueB_ = smallestPieceKiB; }
    // Where the address came from, so the job knows its own files and parts: the watch page,
    // the quality, and the video's id for a title that leaves no name.
    const std::string& PageAddress() const { return pageAddress_; }
    void setPageAddress(const std::string& page) { pageAddress_ = page; }
    const std::string& Quality() const { return quality_; }
    void setQuality(const std::string& quality) { quality_ = quality; }
    const std::string& FallbackName() const { return fallbackName_; }
    void setFallbackName(const std::string& name) { fallbackName_ = name; }
    // Called on the transfer thread when the stream address has expired (403, 410): reads the
    // page again and returns the quality's new address, or "" when there is none; the job's
    // cancel token ends the read on Stop. The job goes on with the same .part when size and
    // validators still agree.
    using AddressRenewal = components::AddressRenewal;
    void setAddressRenewal(AddressRenewal renewal) { addressRenewal_ = std::move(renewal); }
    const std::string& InternetAgent() const { return internetAgent_; }
    void setInternetAgent(const std::string& agent) { internetAgent_ = agent; }
    // Kept for the old settings; this component never shows anything itself.
    bool UseInternetErrorDialog() const { return useInternetErrorDialog_; }
    void setUseInternetErrorDialog(bool use) { useInternetErrorDialog_ = use; }

    // True from Start until its ProcessCompleted has been delivered (or Shutdown).
    bool Busy() const { return busy_; }
    DownloadProgress ProgressInfo() const;
    DownloadError ErrorInfo() const { return error_; }
    // The file the last job saved, with the name it got ("NAME (2).flv" when NAME.flv was
    // another download's); empty when it saved nothing.
    const std::string& SavedPath() const { return savedPath_; }

    // Returns at once; does nothing while Busy. The flag is the old control's and unused. The
    // address set here comes without a resolution: its server's answer decides how it is fetched.
    void Start(bool flag = true);
    // Starts a download described as data: the job is picked by the kind of its track. The
    // properties above take the request's values. The request's renewal, when it has none,
    // is the one set with setAddressRenewal.
    void Start(DownloadRequest request);
    // Ends the running transfer with outcome 5; does nothing when idle.
    void Stop();
    void Shutdown();

signals:
    void Progress();
    void ProcessCompleted(int code);

private:
    struct Run;

    DownloadRequest currentRequest() const;
    void launch(DownloadRequest request);
    static void work(const std::shared_ptr<Run>& run, const DownloadRequest& request);
    static void post(Run& run, const JobResult& result);
    void deliverProgress(quint64 generation);
    void deliverOutcome(quint64 generation, const JobResult& result);
    // Cancels the running job and lets go of it: nothing of it is delivered any more.
    bool letGoOfRun();

    std::string sourceAddress_;
    std::string localFileName_;
    std::string localFolder_;
    std::string pageAddress_;
    std::string quality_;
    std::string fallbackName_;
    AddressRenewal addressRenewal_;
    int tuningValueA_ = 1;
    int tuningValueB_ = 0;
    std::int64_t maxBytesPerSecond_ = 0;
    std::string internetAgent_ = kDefaultAgent;
    bool useInternetErrorDialog_ = true;

    bool busy_ = false;
    quint64 generation_ = 0;
    DownloadError error_;
    std::string savedPath_;
    std::shared_ptr<ProgressMeter> meter_;
    std::shared_ptr<Run> run_;
};

}  // namespace zenvira::components
