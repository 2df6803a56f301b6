// Every output profile, run the way the converter runs it (ConvertFLV on a job whose
// application folder holds the built avformat.dll), makes a file that ffprobe reads with the
// codecs, sizes, rates and container the profile asks for. Sources without sound or without
// picture convert too.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>

#include "convert/conversion_job.h"
#include "convert/convert_flv.h"
#include "convert/output_profiles.h"
#include "platform/application_folder.h"
#include "tests/encoder/front_runner.h"
#include "tests/encoder/media_fixture.h"
#include "tests/support/application.h"

namespace zenvira::encoder::testing {
namespace {

constexpr const char* kMp4Family = "mov,mp4,m4a,3gp,3g2,mj2";
constexpr const char* kNtsc = "30000/1001";

// What ffprobe must show. Zero or null: the profile does not ask for it.
struct Expected {
    const char* profile;
    const char* format;
    const char* videoCodec;  // null: no video stream at all
    int width, height;
    const char* frameRate;
    const char* aspect;
    const char* audioCodec;
    int sampleRate, channels;
};

// Codecs by today's names: mp3 from libmp3lame, mpeg4 from libxvid, h264 from libx264. Where a
// profile names no audio codec the container's own is expected (ac3 in RealMedia, wmav2 in
// ASF, mp2 in MPEG, mp3 in AVI); MPEG-4 with AAC under .mpg is an MPEG transport stream.
const Expected kProfiles[] = {
    {"WAVE Sound (WAV)", "wav", nullptr, 0, 0, nullptr, nullptr, "pcm_s16le", 41000, 2},
    {"MP3 Sound (MP3)", "mp3", nullptr, 0, 0, nullptr, nullptr, "mp3", 44100, 2},
    {"3G2 (for Mobile)", kMp4Family, "mpeg4", 176, 144, "11/1", nullptr, "amr_nb", 8000, 1},
    {"3GP (for Mobile)", kMp4Family, "h263", 176, 144, "11/1", nullptr, "amr_nb", 8000, 1},
    {"Zune WMV", "asf", "wmv2", 320, 240, kNtsc, nullptr, "mp3", 48000, 2},
    {"Zune MPEG-4 AVC", "avi", "h264", 320, 240, kNtsc, nullptr, "aac", 48000, 2},
    {"Zune MPEG-4 Video", "avi", "mpeg4", 320, 240, kNtsc, nullptr, "aac", 48000, 2},
    {"Sony PSP (PSP AVC)", "avi", "h264", 368, 208, kNtsc, nullptr, "aac", 48000, 2},
    {"Sony PSP (Minimal Size)", "avi", "mpeg4", 160, 112, kNtsc, nullptr, "aac", 24000, 2},
    {"Sony PSP (Excellent Quality)", "avi", "mpeg4", 368, 208, kNtsc, nullptr, "aac", 24000, 2},
    {"Sony PSP (Normal)", "avi", "mpeg4", 368, 208, kNtsc, nullptr, "aac", 24000, 2},
    {"QuickTime MOV", kMp4Family, "h264", 320, 240, kNtsc, nullptr, "aac", 44100, 2},
    {"RM (RealONE/RealPlayer)", "rm", "rv20", 0, 0, nullptr, nullptr, "ac3", 44100, 2},
    {"WMV(WindowsMedia-Best Quality)", "asf", "wmv2", 0, 0, nullptr, nullptr, "wmav2", 0, 2},
    {"WMV(WindowsMedia-Compatible)", "asf", "wmv2", 0, 0, nullptr, nullptr, "wmav2", 44100, 2},
    {"MPEG (Best Quality)", "mpeg", "mpeg1video", 0, 0, kNtsc, nullptr, "mp2", 0, 2},
    {"MPEG (Max Compatible)", "mpeg", "mpeg1video", 0, 0, kNtsc, nullptr, "mp2", 44100, 2},
    {"iPOD Nano (MP3)", "mp3", nullptr, 0, 0, nullptr, nullptr, "mp3", 0, 0},
    {"iPOD Mini (MP3)", "mp3", nullptr, 0, 0, nullptr, nullptr, "mp3", 0, 0},
    {"iPOD Shuffle (MP3)", "mp3", nullptr, 0, 0, nullptr, nullptr, "mp3", 0, 0},
    {"iPhone Video", "mpegts", "mpeg4", 320, 240, nullptr, "4:3", "aac", 44100, 2},
    {"iPOD Video2 (640x480) MPEG4", "mpegts", "mpeg4", 640, 480, nullptr, "4:3", "aac", 44100, 2},
    {"iPOD Video (320x240) MPEG4", "mpegts", "mpeg4", 320, 240, nullptr, "4:3", "aac", 44100, 2},
    {"AVI (MPEG4-XviD-Best Quality)", "avi", "mpeg4", 320, 240, kNtsc, nullptr, "mp3", 0, 2},
    {"AVI (MPEG4-XviD-Compatible)", "avi", "mpeg4", 320, 240, kNtsc, nullptr, "mp3", 22050, 2},
    {"AVI (MPEG4-DivX-Best Quality)", "avi", "mpeg4", 320, 240, kNtsc, nullptr, "mp3", 0, 2},
    {"AVI (MPEG4-DivX-Compatible)", "avi", "mpeg4", 320, 240, kNtsc, nullptr, "mp3", 22050, 2},
};

// Test names and failure messages name the profile.
void PrintTo(const Expected& expected, std::ostream* out) { *out << expected.profile; }

QCoreApplication& testApp() { return zenvira::testing::coreApplication(); }

struct JobOutcome {
    bool complete = false;
    std::vector<std::string> errors;
    platform::ExitStatus exit;
};

// ConvertFLV on a fresh job, its ticks sped up, until Complete.
JobOutcome convertWithJob(const std::string& profile, const std::string& source) {
    testApp();
    platform::setApplicationFolderForTests(ZENVIRA_APP_DIR);
    QTimer timer;
    convert::AVC job(&timer);
    JobOutcome outcome;
    QEventLoop loop;
    QObject::connect(&job, &convert::AVC::ErrorEvent,
                     [&](const std::string& error) { outcome.errors.push_back(error); });
    QObject::connect(&job, &convert::AVC::Complete, [&] {
        outcome.complete = true;
        loop.quit();
    });
    convert::ConvertFLV(job, profile, source);
    if (!job.IsRunning()) return outcome;
    timer.setInterval(20);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    outcome.exit = job.LastExitStatus();
    platform::setApplicationFolderForTests({});
    return outcome;
}

// A value the profile asks for (non-zero, non-null) must be there as asked.
template <typename T, typename U>
void expectIfAsked(const T& actual, const U& asked, const char* what) {
    if (!asked) return;
    EXPECT_EQ(actual, asked) << what;
}

void expectStreams(const ProbedFile& file, const Expected& e) {
    EXPECT_EQ(file.format, e.format);
    EXPECT_GT(file.duration, 1.5) << "the whole 2-second clip";
    ASSERT_EQ(file.count("video"), e.videoCodec ? 1 : 0);
    ASSERT_EQ(file.count("audio"), 1);
    if (const ProbedStream* video = file.first("video")) {
        EXPECT_EQ(video->codec, e.videoCodec);
        expectIfAsked(video->width, e.width, "width");
        expectIfAsked(video->height, e.height, "height");
        expectIfAsked(video->frameRate, e.frameRate, "frame rate");
        expectIfAsked(video->aspect, e.aspect, "aspect ratio");
    }
    const ProbedStream* audio = file.first("audio");
    EXPECT_EQ(audio->codec, e.audioCodec);
    expectIfAsked(audio->sampleRate, e.sampleRate, "sample rate");
    expectIfAsked(audio->channels, e.channels, "channels");
}

class ProfileConversion : public ::testing::TestWithParam<Expected> {};

TEST_P(ProfileConversion, MakesTheFileTheProfileAsksFor) {
    const Expected& expected = GetParam();
    const convert::OutputProfile* profile = convert::findProfile(expected.profile);
    ASSERT_NE(profile, nullptr);
    TempFolder folder;
    const std::string source = folder.file("clip.flv");
    std::filesystem::copy_file(clipPath(Clip::PictureAndSound), source);
    const JobOutcome outcome = convertWithJob(expected.profile, source);
    ASSERT_TRUE(outcome.errors.empty()) << outcome.errors.front();
    ASSERT_TRUE(outcome.complete);
    EXPECT_TRUE(outcome.exit.success()) << outcome.exit.describe();
    const std::string output = folder.file(std::string("clip") + profile->extension);
    const ProbedFile file = probeFile(output);
    ASSERT_TRUE(file.ok) << output;
    expectStreams(file, expected);
}

std::string testName(const ::testing::TestParamInfo<Expected>& info) {
    std::string name;
    for (const char* c = info.param.profile; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryProfile, ProfileConversion, ::testing::ValuesIn(kProfiles), testName);

TEST(ProfileTable, EveryProfileIsChecked) {
    EXPECT_EQ(std::size(kProfiles), convert::kProfileCount);
    for (const auto& profile : convert::outputProfiles()) {
        bool listed = false;
        for (const auto& expected : kProfiles) listed = listed || std::string(expected.profile) == profile.name;
        EXPECT_TRUE(listed) << profile.name;
    }
}

// The front run directly with the 3GP options, on sources lacking one kind of stream.
const Words k3gpOptions{"-y", "-b",      "120",    "-r",  "11", "-s",  "176x144", "-vcodec", "h263", "-bt",
                        "60", "-acodec", "amr_nb", "-ab", "48", "-ar", "8000",    "-ac",     "1"};

ProgramRun runFront(const std::string& source, const Words& options, const std::string& output) {
    Words args{"-i", source};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(output);
    return runProgram(frontPath(), args);
}

TEST(IncompleteSources, AmrProfileWithoutSoundGivesPictureOnly) {
    TempFolder folder;
    const ProgramRun run = runFront(clipPath(Clip::PictureOnly), k3gpOptions, folder.file("out.3gp"));
    ASSERT_TRUE(run.exited(0)) << run.err;
    const ProbedFile file = probeFile(folder.file("out.3gp"));
    EXPECT_EQ(file.count("audio"), 0);
    ASSERT_EQ(file.count("video"), 1);
    EXPECT_EQ(file.first("video")->codec, "h263");
}

TEST(IncompleteSources, AmrProfileWithoutPictureGivesSoundOnly) {
    TempFolder folder;
    const ProgramRun run = runFront(clipPath(Clip::SoundOnly), k3gpOptions, folder.file("out.3gp"));
    ASSERT_TRUE(run.exited(0)) << run.err;
    const ProbedFile file = probeFile(folder.file("out.3gp"));
    EXPECT_EQ(file.count("video"), 0);
    ASSERT_EQ(file.count("audio"), 1);
    EXPECT_EQ(file.first("audio")->codec, "amr_nb");
    EXPECT_GT(file.duration, 1.5);
}

TEST(IncompleteSources, VideoProfileWithoutSoundOrPicture) {
    TempFolder folder;
    const Words avi{"-y",      "-b",   "360",          "-r",     "29.97", "-s", "320x240",
                    "-vcodec", "xvid", "-deinterlace", "-sameq", "-ac",   "2"};
    ProgramRun run = runFront(clipPath(Clip::PictureOnly), avi, folder.file("a.avi"));
    ASSERT_TRUE(run.exited(0)) << run.err;
    EXPECT_EQ(probeFile(folder.file("a.avi")).count("audio"), 0);
    run = runFront(clipPath(Clip::SoundOnly), avi, folder.file("b.avi"));
    ASSERT_TRUE(run.exited(0)) << run.err;
    const ProbedFile file = probeFile(folder.file("b.avi"));
    EXPECT_EQ(file.count("video"), 0);
    EXPECT_EQ(file.count("audio"), 1);
}

TEST(IncompleteSources, SoundProfileWithoutSoundFailsWithFfmpegsReason) {
    TempFolder folder;
    const ProgramRun run = runFront(clipPath(Clip::PictureOnly), {"-y", "-acodec", "mp3"}, folder.file("a.mp3"));
    EXPECT_FALSE(run.exited(0));
    EXPECT_NE(run.err.find("does not contain any stream"), std::string::npos) << run.err;
}

TEST(IncompleteSources, AmrProfileIntoAFolderThatIsNotThereFailsAtOnce) {
    TempFolder folder;
    const ProgramRun run = runFront(clipPath(Clip::PictureAndSound), k3gpOptions, folder.file("none/a.3gp"));
    EXPECT_TRUE(run.exited(1)) << run.status;
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
}

TEST(IncompleteSources, MissingSourceFailsWithFfmpegsReason) {
    TempFolder folder;
    for (const Words& options : {Words{"-y", "-acodec", "mp3"}, k3gpOptions}) {
        const ProgramRun run = runFront(folder.file("none.flv"), options, folder.file("a.3gp"));
        EXPECT_TRUE(run.exited(1)) << run.status;
        EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.file("a.3gp")));
    }
}

}  // namespace
}  // namespace zenvira::encoder::testing
