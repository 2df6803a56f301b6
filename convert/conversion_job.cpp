#include "convert/conversion_job.h"

#include <QFileInfo>
#include <QTimer>

#include "convert/encoder_runner.h"
#include "convert/encoder_checks.h"

namespace zenvira::convert {

namespace {
constexpr int kTickMilliseconds = 300;
}  // namespace

AVC::AVC(QTimer* Timer1, QObject* parent)
    : QObject(parent), Timer1_(Timer1 ? Timer1 : new QTimer(this)), runner_(std::make_unique<EncoderRunner>()) {
    connect(Timer1_.data(), &QTimer::timeout, this, &AVC::Timer1_Timer);
}

AVC::~AVC() {
    if (!running_) return;
    if (Timer1_) Timer1_->stop();
    runner_->stopAndWait();  // what the encoder started ends with it
}

void AVC::RateControlBuffer(const std::string& StrValue) { settings_.RateControlBuffer = StrValue; }
void AVC::VideoBitrateTolerance(const std::string& StrValue) { settings_.VideoBitrateTolerance = StrValue; }
void AVC::TargetFormat(const std::string& StrValue) { settings_.TargetFormat = StrValue; }
void AVC::GroupOfPictureSize(const std::string& StrValue) { settings_.GroupOfPictureSize = StrValue; }
void AVC::VideoQuantiserScale(const std::string& StrValue) { settings_.VideoQuantiserScale = StrValue; }
void AVC::MaxVideoBitrate(const std::string& StrValue) { settings_.MaxVideoBitrate = StrValue; }
void AVC::SourceFile(const std::string& StrValue) { settings_.SourceFile = StrValue; }
void AVC::DestFile(const std::string& StrValue) { settings_.DestFile = StrValue; }
void AVC::DeInterlace(bool Value) { settings_.DeInterlace = Value; }
void AVC::SameQuality(bool Value) { settings_.SameQuality = Value; }
void AVC::VideoSize(const std::string& StrValue) { settings_.VideoSize = StrValue; }
void AVC::VideoBitrate(const std::string& StrValue) { settings_.VideoBitrate = StrValue; }
void AVC::VideoFrameRate(const std::string& StrValue) { settings_.VideoFrameRate = StrValue; }
void AVC::VideoCodec(const std::string& StrValue) { settings_.VideoCodec = StrValue; }
void AVC::VideoFourCCTag(const std::string& StrValue) { settings_.VideoFourCCTag = StrValue; }
void AVC::VideoAspectRatio(const std::string& StrValue) { settings_.VideoAspectRatio = StrValue; }
void AVC::ForceFormat(const std::string& StrValue) { settings_.ForceFormat = StrValue; }
void AVC::AudioBitrate(const std::string& StrValue) { settings_.AudioBitrate = StrValue; }
void AVC::AudioCodec(const std::string& StrValue) { settings_.AudioCodec = StrValue; }
void AVC::AudioFourCCTag(const std::string& StrValue) { settings_.AudioFourCCTag = StrValue; }
void AVC::AudioSamples(const std::string& StrValue) { settings_.AudioSamples = StrValue; }
void AVC::AudioChannels(const std::string& StrValue) { settings_.AudioChannels = StrValue; }

CommandLinePreview AVC::PreviewCommandLine(bool OverWrite) const {
    const CheckedCommand checked = checkAndBuild(settings_, OverWrite);
    return {checked.ok(), checked.command.text(), checked.error, checked.command.program, checked.command.arguments};
}

void AVC::ConvertMedia(bool OverWrite) {
    if (running_) {
        // One run at a time: a second one would leave the first unwatched.
        emit ErrorEvent(kAlreadyRunning);
        return;
    }
    const CheckedCommand checked = checkAndBuild(settings_, OverWrite);
    if (!checked.ok()) {
        emit ErrorEvent(checked.error);
        return;
    }
    lastStartFailure_.clear();
    // A system that refuses the pipe or the process raises no event; the settings stay.
    if (!runner_->start(checked.command, lastStartFailure_)) return;
    running_ = true;
    runDestFile_ = settings_.DestFile;
    if (!Timer1_) {
        // The lent timer has gone; the run still needs its ticks.
        Timer1_ = new QTimer(this);
        connect(Timer1_.data(), &QTimer::timeout, this, &AVC::Timer1_Timer);
    }
    Timer1_->setInterval(kTickMilliseconds);
    Timer1_->start();
}

void AVC::CancelConvert() { runner_->cancel(); }

bool AVC::IsRunning() const { return running_; }

platform::ExitStatus AVC::LastExitStatus() const { return lastExit_; }

const std::string& AVC::LastStartFailure() const { return lastStartFailure_; }

void AVC::Timer1_Timer() {
    // A handler that waits in a nested event loop must not start a second, nested tick.
    if (!running_ || inTick_) return;
    inTick_ = true;
    const bool over = runner_->poll();
    const QPointer<AVC> alive(this);
    emit Converting();
    if (!alive) return;
    inTick_ = false;
    if (over) endRun();
}

// Why the run that has just ended made no file, empty when it did.
std::string AVC::runFailure(const std::string& destFile) const {
    if (runner_->cancelled()) return kCancelledText;
    if (!lastExit_.success()) {
        const std::string reason = lastErrorLine(runner_->lastOutput());
        return reason.empty() ? "The encoder failed (" + lastExit_.describe() + ")" : reason;
    }
    const QFileInfo output(QString::fromStdString(destFile));
    if (!output.isFile() || output.size() == 0) return "The encoder made no file " + destFile;
    return {};
}

void AVC::endRun() {
    running_ = false;
    if (Timer1_) Timer1_->stop();
    lastExit_ = runner_->exitStatus();
    const std::string failure = runFailure(runDestFile_);
    settings_ = ConversionSettings{};
    // A run that made nothing never reads as a success.
    if (failure.empty())
        emit Complete();
    else
        emit ErrorEvent(failure);
}

}  // namespace zenvira::convert
