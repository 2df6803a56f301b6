#pragma once
// The conversion job AVC: holds a conversion's settings, turns them into the encoder's command
// line and runs the encoder (avformat.dll in the application folder) as a hidden child. It
// reports back only through its three events, delivered synchronously to its owner.
//
// The job owns no timer: its owner lends it one (the converter window its Timer1, the CLI and
// the tests their own). While a run is active the job sets that timer to 300 ms and handles
// each tick: it drains what the encoder wrote without ever waiting, raises Converting, and
// once the output has ended and the encoder has been reaped, clears its settings and raises
// Complete when the encoder succeeded and its file is there, or else ErrorEvent with the
// encoder's own last error line (a cancelled run: kCancelledText). Qt Core only.
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "convert/conversion_settings.h"
#include "platform/process.h"

class QTimer;

namespace zenvira::convert {

class EncoderRunner;

// What ConvertMedia would hand the encoder right now, or the ErrorEvent text it would raise.
struct CommandLinePreview {
    bool ok = false;
    std::string commandLine;  // program part first, as the encoder is told
    std::string error;        // when !ok
    std::string program;      // the encoder's path on disk, which is started
    std::string arguments;    // the command line after the program part
};

// The ErrorEvent text of a run ended by CancelConvert.
inline constexpr const char* kCancelledText = "The conversion was cancelled";

class AVC : public QObject {
    Q_OBJECT
public:
    // Timer1 is the owner's timer and must outlive the job's use of it; the job only sets its
    // interval and switches it on and off. A null timer makes the job use one of its own.
    explicit AVC(QTimer* Timer1, QObject* parent = nullptr);
    // An encoder still running is ended (with what it started) and reaped, after a moment to
    // remove its temporary file; no event is raised.
    ~AVC() override;

    // The write-only settings: each stores its value unchanged.
    void RateControlBuffer(const std::string& StrValue);
    void VideoBitrateTolerance(const std::string& StrValue);
    void TargetFormat(const std::string& StrValue);
    void GroupOfPictureSize(const std::string& StrValue);
    void VideoQuantiserScale(const std::string& StrValue);
    void MaxVideoBitrate(const std::string& StrValue);
    void SourceFile(const std::string& StrValue);
    void DestFile(const std::string& StrValue);
    void DeInterlace(bool Value);
    void SameQuality(bool Value);
    void VideoSize(const std::string& StrValue);
    void VideoBitrate(const std::string& StrValue);
    void VideoFrameRate(const std::string& StrValue);
    void VideoCodec(const std::string& StrValue);
    void VideoFourCCTag(const std::string& StrValue);
    void VideoAspectRatio(const std::string& StrValue);
    void ForceFormat(const std::string& StrValue);
    void AudioBitrate(const std::string& StrValue);
    void AudioCodec(const std::string& StrValue);
    void AudioFourCCTag(const std::string& StrValue);
    void AudioSamples(const std::string& StrValue);
    void AudioChannels(const std::string& StrValue);

    // Checks the settings, builds the command line and starts the encoder. Refusals come back
    // through ErrorEvent and leave every setting as it was: a run already active, no source,
    // no destination, no encoder, a path the command line cannot carry. A system that refuses
    // the pipe or the process raises nothing (see LastStartFailure).
    void ConvertMedia(bool OverWrite);
    // Ends this job's own encoder and what it started. The run then ends through the ticks as
    // usual, with ErrorEvent(kCancelledText). Without a run it does nothing.
    void CancelConvert();

    // The same checks and command line as ConvertMedia, without events and without a start.
    CommandLinePreview PreviewCommandLine(bool OverWrite) const;

    bool IsRunning() const;
    // How the encoder of the last finished run ended. The window ignores it; the CLI reports it.
    platform::ExitStatus LastExitStatus() const;
    // The system's reason when the last ConvertMedia passed its checks but could not start
    // the encoder; empty otherwise.
    const std::string& LastStartFailure() const;

    // The handler of Timer1's tick; public so tests can drive a run tick by tick.
    void Timer1_Timer();

signals:
    void Converting();
    void Complete();
    void ErrorEvent(const std::string& ErrorMessage);

private:
    void endRun();
    std::string runFailure(const std::string& destFile) const;

    QPointer<QTimer> Timer1_;
    ConversionSettings settings_;
    std::unique_ptr<EncoderRunner> runner_;
    platform::ExitStatus lastExit_;
    std::string lastStartFailure_;
    std::string runDestFile_;  // the running conversion's output: settings may change meanwhile
    bool running_ = false;  // from a successful start until Complete is raised
    bool inTick_ = false;
};

}  // namespace zenvira::convert
