#include "convert/convert_flv.h"

#include "components/msg_box/msg_box.h"
#include "convert/conversion_job.h"
#include "convert/output_profiles.h"

namespace zenvira::convert {

namespace {

void assignIfListed(AVC& job, void (AVC::*setting)(const std::string&), const char* value) {
    if (value) (job.*setting)(value);
}

void assignProfile(AVC& job, const OutputProfile& p) {
    assignIfListed(job, &AVC::VideoCodec, p.VideoCodec);
    assignIfListed(job, &AVC::VideoSize, p.VideoSize);
    assignIfListed(job, &AVC::VideoBitrate, p.VideoBitrate);
    assignIfListed(job, &AVC::VideoFrameRate, p.VideoFrameRate);
    assignIfListed(job, &AVC::VideoBitrateTolerance, p.VideoBitrateTolerance);
    assignIfListed(job, &AVC::GroupOfPictureSize, p.GroupOfPictureSize);
    assignIfListed(job, &AVC::VideoQuantiserScale, p.VideoQuantiserScale);
    assignIfListed(job, &AVC::MaxVideoBitrate, p.MaxVideoBitrate);
    assignIfListed(job, &AVC::RateControlBuffer, p.RateControlBuffer);
    assignIfListed(job, &AVC::VideoAspectRatio, p.VideoAspectRatio);
    if (p.deInterlaceAndSameQuality) {
        job.DeInterlace(true);
        job.SameQuality(true);
    }
    assignIfListed(job, &AVC::ForceFormat, p.ForceFormat);
    assignIfListed(job, &AVC::AudioCodec, p.AudioCodec);
    assignIfListed(job, &AVC::AudioBitrate, p.AudioBitrate);
    assignIfListed(job, &AVC::AudioSamples, p.AudioSamples);
    assignIfListed(job, &AVC::AudioChannels, p.AudioChannels);
}

}  // namespace

bool assignConversion(AVC& job, const std::string& FormatType, const std::string& SrcPath) {
    const OutputProfile* profile = findProfile(FormatType);
    if (!profile) {
        components::msgBox("Error: " + FormatType + " is not defined.", components::MsgBoxStyle::Exclamation,
                           "Not Supported");
        return false;
    }
    assignProfile(job, *profile);
    job.SourceFile(SrcPath);
    job.DestFile(outputPathFor(SrcPath, profile->extension));
    return true;
}

void ConvertFLV(AVC& job, const std::string& FormatType, const std::string& SrcPath) {
    if (assignConversion(job, FormatType, SrcPath)) job.ConvertMedia(true);
}

}  // namespace zenvira::convert
