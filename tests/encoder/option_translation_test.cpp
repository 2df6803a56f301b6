// The old command line read and turned into today's FFmpeg arguments: every option, the
// codec names, the containers, the AMR-NB plan and the refusals.
#include "encoder/option_translation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/amr_mode.h"
#include "encoder/container_table.h"
#include "encoder/legacy_command.h"
#include "encoder/value_syntax.h"

namespace zenvira::encoder {
namespace {

using Words = std::vector<std::string>;

Words words(const std::string& text) {
    std::istringstream in(text);
    Words result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// "-i in.flv OPTIONS DEST" read and translated; fails the test on a refusal.
Translation translate(const std::string& commandLine, const TranslationContext& context = {}) {
    const ParsedCommand parsed = parseLegacyCommand(words(commandLine));
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return translateCommand(parsed.command, context);
}

Words mainRun(const std::string& commandLine, const TranslationContext& context = {}) {
    const Translation translation = translate(commandLine, context);
    EXPECT_TRUE(translation.ok) << translation.error;
    return translation.plan.ffmpegArgs;
}

std::string refusal(const std::string& commandLine) {
    const ParsedCommand parsed = parseLegacyCommand(words(commandLine));
    if (!parsed.ok) return parsed.error;
    const Translation translation = translateCommand(parsed.command, TranslationContext{.amrStreamPath = "pipe:3"});
    EXPECT_FALSE(translation.ok);
    return translation.error;
}

bool holdsRun(const Words& args, const std::string& run) {
    const Words wanted = words(run);
    return std::search(args.begin(), args.end(), wanted.begin(), wanted.end()) != args.end();
}

bool holdsWord(const Words& args, const std::string& word) {
    return std::find(args.begin(), args.end(), word) != args.end();
}

std::string joined(const Words& args) {
    std::string text;
    for (const auto& arg : args) text += (text.empty() ? "" : " ") + arg;
    return text;
}

TEST(LegacyCommandLine, ReadsEveryOptionOfAProfileLine) {
    const ParsedCommand parsed = parseLegacyCommand(
        words("-i /v/clip.flv -y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -vtag avc1 -aspect 4:3 -bt 60 -f avi "
              "-target vcd -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -deinterlace -sameq -acodec aac -atag mp4a "
              "-ab 64 -ar 48000 -ac 2 /v/clip.avi"));
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const LegacyCommand& c = parsed.command;
    EXPECT_EQ(c.input, "/v/clip.flv");
    EXPECT_EQ(c.output, "/v/clip.avi");
    EXPECT_TRUE(c.overwrite && c.deinterlace && c.sameQuality);
    EXPECT_EQ(Words({c.videoBitrate, c.frameRate, c.frameSize, c.videoCodec, c.videoTag, c.aspect, c.bitrateTolerance,
                     c.format, c.target, c.bufferSize, c.gopSize, c.quantiserScale, c.maxVideoBitrate, c.audioCodec,
                     c.audioTag, c.audioBitrate, c.sampleRate, c.channels}),
              words("1500 29.97 320x240 h264 avc1 4:3 60 avi vcd 128 250 25 1500 aac mp4a 64 48000 2"));
}

TEST(LegacyCommandLine, PathsWithBlanksStayWholeAndTheLastRepeatCounts) {
    const ParsedCommand parsed =
        parseLegacyCommand({"-i", "/my videos/a b.flv", "-ab", "64", "-ab", "128", "/out dir/a.mp3"});
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.command.input, "/my videos/a b.flv");
    EXPECT_EQ(parsed.command.output, "/out dir/a.mp3");
    EXPECT_EQ(parsed.command.audioBitrate, "128");
}

TEST(LegacyCommandLine, RefusesWhatItCannotRead) {
    EXPECT_EQ(refusal("-i a.flv -vpre fast b.avi"), "unknown option '-vpre' (see --help)");
    EXPECT_EQ(refusal("-i a.flv b.avi -ab"), "option '-ab' needs a value");
    EXPECT_EQ(refusal("-y b.avi"), "no input given (-i SOURCE)");
    EXPECT_EQ(refusal("-i a.flv -i c.flv b.avi"), "only one input (-i) is taken");
    EXPECT_EQ(refusal("-i a.flv -y"), "no destination given");
    // A size written with blanks reaches the encoder as three words.
    EXPECT_EQ(refusal("-i a.flv -s 320 x 240 b.avi"),
              "more than one destination: 'x' and '240' (a value holding blanks must be one argument)");
    EXPECT_FALSE(parseLegacyCommand({"-i", "a.flv", "-ab", "", "b.mp3"}).ok);
}

TEST(LegacyValues, RefusesMalformedValuesNamingTheOption) {
    EXPECT_EQ(refusal("-i a.flv -b fast b.avi"), "-b takes a bit rate in kbit/s, not 'fast'");
    EXPECT_EQ(refusal("-i a.flv -ab -64 b.avi"), "-ab takes a bit rate in kbit/s, not '-64'");
    EXPECT_EQ(refusal("-i a.flv -r 29,97 b.avi"), "-r takes a frame rate, not '29,97'");
    EXPECT_EQ(refusal("-i a.flv -s 320x b.avi"), "-s takes a frame size WxH, not '320x'");
    EXPECT_EQ(refusal("-i a.flv -ar 44.1 b.avi"), "-ar takes a sample rate in Hz, not '44.1'");
    EXPECT_EQ(refusal("-i a.flv -ac 0 b.avi"), "-ac takes a number of channels, not '0'");
    EXPECT_EQ(refusal("-i a.flv -qscale 0 b.avi"), "-qscale takes a quantiser scale from 1 to 31, not '0'");
    EXPECT_EQ(refusal("-i a.flv -aspect 4/3 b.avi"), "-aspect takes an aspect ratio such as 4:3, not '4/3'");
    EXPECT_EQ(refusal("-i a.flv -vcodec mpeg4;ls b.avi"), "-vcodec takes a codec name, not 'mpeg4;ls'");
    EXPECT_EQ(refusal("-i a.flv -g 1.5 b.avi"), "-g takes a whole number of frames, not '1.5'");
}

// The forms the option table below does not reach.
TEST(ValueSyntax, EdgesOfRatesSizesAndFrameRates) {
    EXPECT_EQ(kbitValue("1.5M"), "1.5M");
    EXPECT_FALSE(kbitValue("k"));
    EXPECT_FALSE(kbitValue("1500kb"));
    EXPECT_EQ(frameRateValue("23.976"), "24000/1001");
    EXPECT_EQ(frameRateValue("ntsc"), "ntsc");
    EXPECT_FALSE(frameRateValue("25/0"));
    EXPECT_FALSE(frameRateValue("2x"));
    EXPECT_FALSE(parseFrameSize("0x240"));
    EXPECT_FALSE(parseFrameSize("99999999999x2"));
    EXPECT_EQ(roundDown({2, 3}, 16).width, 16);  // never below one block
}

// Each old option and what it becomes, on an AVI with MPEG-4 video and MP3 audio.
TEST(OptionTranslation, EveryOptionHasItsModernForm) {
    const struct {
        const char* legacy;
        const char* modern;
    } cases[] = {
        {"-b 1500", "-b:v 1500k"},
        {"-b 800k", "-b:v 800k"},
        {"-ab 128", "-b:a 128k"},
        {"-bt 60", "-bt 60k"},
        {"-maxrate 1500", "-maxrate 1500k"},
        {"-bufsize 128", "-bufsize 128k"},
        {"-r 29.97", "-r 30000/1001"},
        {"-r 11", "-r 11"},
        {"-s 176x144", "-s 176x144"},
        {"-g 250", "-g 250"},
        {"-aspect 4:3", "-aspect 4:3"},
        {"-vtag XVID", "-tag:v XVID"},
        {"-atag 0x55", "-tag:a 0x55"},
        {"-ar 41000", "-ar 41000"},
        {"-ac 2", "-ac 2"},
        {"-y", "-y"},
        {"-deinterlace", "-vf yadif"},
        {"-sameq", "-q:v 2"},
        {"-qscale 5", "-q:v 5"},
        {"-target pal-vcd", "-target pal-vcd"},
        {"-f avi", "-f avi"},
    };
    for (const auto& c : cases) {
        const Words args = mainRun(std::string("-i in.flv ") + c.legacy + " -vcodec mpeg4 -acodec mp3 out.avi");
        EXPECT_TRUE(holdsRun(args, c.modern)) << c.legacy << " gave: " << joined(args);
    }
}

TEST(OptionTranslation, OldCodecNamesBecomeTheInstalledEncoders) {
    const struct {
        const char* option;
        const char* name;
        const char* encoder;
    } cases[] = {
        {"-vcodec", "xvid", "-c:v libxvid"}, {"-vcodec", "h264", "-c:v libx264"},
        {"-vcodec", "mpeg4", "-c:v mpeg4"},  {"-vcodec", "wmv2", "-c:v wmv2"},
        {"-vcodec", "rv20", "-c:v rv20"},    {"-vcodec", "mpeg1video", "-c:v mpeg1video"},
        {"-vcodec", "h263", "-c:v h263"},    {"-acodec", "mp3", "-c:a libmp3lame"},
        {"-acodec", "aac", "-c:a aac"},      {"-acodec", "pcm_s16le", "-c:a pcm_s16le"},
        {"-acodec", "libfaac", "-c:a aac"},  {"-acodec", "wmav2", "-c:a wmav2"},
    };
    for (const auto& c : cases) {
        const Words args = mainRun(std::string("-i in.flv ") + c.option + " " + c.name + " out.mkv");
        EXPECT_TRUE(holdsRun(args, c.encoder)) << c.name << " gave: " << joined(args);
    }
    // A name the table does not know goes through for FFmpeg to judge.
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec libvpx out.webm"), "-c:v libvpx"));
}

TEST(OptionTranslation, AWholeProfileInItsOrder) {
    EXPECT_EQ(joined(mainRun("-i /v/clip.flv -y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 "
                             "-qscale 25 -maxrate 1500 -acodec aac -ab 64 -ar 48000 -ac 2 /v/clip.avi")),
              "-hide_banner -nostdin -y -i /v/clip.flv -c:v libx264 -s 320x240 -r 30000/1001 -b:v 1500k "
              "-maxrate 1500k -bufsize 128k -g 250 -c:a aac -b:a 64k -ar 48000 -ac 2 -f avi /v/clip.avi");
}

TEST(OptionTranslation, ConstantQualityWinsOverTheBitRate) {
    const Words mpeg4 = mainRun("-i in.flv -b 360 -vcodec mpeg4 -sameq out.avi");
    EXPECT_TRUE(holdsRun(mpeg4, "-q:v 2"));
    EXPECT_FALSE(holdsWord(mpeg4, "-b:v"));
    const Words fixed = mainRun("-i in.flv -b 360 -vcodec mpeg4 -qscale 4 out.avi");
    EXPECT_TRUE(holdsRun(fixed, "-q:v 4"));
    EXPECT_FALSE(holdsWord(fixed, "-b:v"));
    // libx264: -sameq is a rate factor; no default codec of .mov is left to chance.
    const Words x264 = mainRun("-i in.flv -b 360 -s 320x240 -deinterlace -sameq -acodec aac out.mov");
    EXPECT_TRUE(holdsRun(x264, "-c:v libx264 -vf yadif -s 320x240 -crf 18"));
    EXPECT_FALSE(holdsWord(x264, "-b:v"));
    EXPECT_FALSE(holdsWord(x264, "-q:v"));
}

TEST(OptionTranslation, X264TakesTheQuantiserOnlyWithoutABitRate) {
    const Words withRate = mainRun("-i in.flv -vcodec h264 -b 1500 -qscale 25 out.mp4");
    EXPECT_FALSE(holdsWord(withRate, "-qp"));
    EXPECT_FALSE(holdsWord(withRate, "-q:v"));
    EXPECT_TRUE(holdsRun(withRate, "-b:v 1500k"));
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec h264 -qscale 25 out.mp4"), "-qp 25"));
}

TEST(OptionTranslation, PicturesAreBroughtToSizesTheEncoderTakes) {
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec rv20 -deinterlace -sameq out.rm"),
                         "-vf yadif,scale=trunc(iw/4)*4:trunc(ih/4)*4"));
    const Words sized = mainRun("-i in.flv -vcodec rv20 -s 426x240 out.rm");
    EXPECT_TRUE(holdsRun(sized, "-s 424x240"));
    EXPECT_FALSE(holdsWord(sized, "-vf"));
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec mpeg4 -s qcif out.avi"), "-s qcif"));
    // An encoder that takes any size gets no filter.
    EXPECT_FALSE(holdsWord(mainRun("-i in.flv -vcodec mjpeg out.avi"), "-vf"));
}

TEST(ContainerChoice, TheExtensionNamesTheContainerAndItsDefaultCodecs) {
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec wmv2 -sameq out.wmv"), "-c:a wmav2"));
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec wmv2 -sameq out.wmv"), "-f asf out.wmv"));
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec rv20 -ar 44100 out.rm"), "-c:a ac3 -ar 44100"));
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -vcodec xvid out.AVI"), "-c:a libmp3lame"));
    const Words mov = mainRun("-i in.flv out.mov");
    EXPECT_TRUE(holdsRun(mov, "-c:v libx264"));
    EXPECT_TRUE(holdsRun(mov, "-c:a aac"));
    // An extension not in the table: FFmpeg picks everything.
    EXPECT_EQ(joined(mainRun("-i in.flv -ab 96 out.xyz")), "-hide_banner -nostdin -i in.flv out.xyz");
    EXPECT_EQ(containerForPath("/a.mp3/clip"), nullptr);
    ASSERT_NE(containerForPath("/v/CLIP.MPG"), nullptr);
    EXPECT_EQ(containerForPath("/v/CLIP.MPG")->muxer, "mpeg");
}

TEST(ContainerChoice, AudioOnlyContainersDropThePicture) {
    const Words args = mainRun("-i in.flv -y -vcodec mpeg4 -b 500 -sameq -f mp3 -acodec mp3 -ab 128 out.mp3");
    EXPECT_EQ(joined(args), "-hide_banner -nostdin -y -i in.flv -vn -c:a libmp3lame -b:a 128k -f mp3 out.mp3");
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -acodec mp3 out.mp3"), "-vn -c:a libmp3lame -f mp3"));
    EXPECT_TRUE(holdsRun(mainRun("-i in.flv -f wav -acodec pcm_s16le -ar 41000 -ac 2 out.wav"),
                         "-vn -c:a pcm_s16le -ar 41000 -ac 2 -f wav"));
}

TEST(ContainerChoice, MpegProgramStreamFallsBackToTransportStreamForMpeg4AndAac) {
    const Words iphone = mainRun(
        "-i in.flv -y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 "
        "-ar 44100 -ac 2 out.mpg");
    EXPECT_TRUE(holdsRun(iphone, "-f mpegts out.mpg"));
    const Words mpeg1 = mainRun("-i in.flv -r 29.97 -vcodec mpeg1video -deinterlace -sameq -ac 2 out.mpg");
    EXPECT_TRUE(holdsRun(mpeg1, "-c:a mp2 -ac 2 -f mpeg out.mpg"));
    // Asked for by name, the program stream is kept and the mismatch refused.
    EXPECT_EQ(refusal("-i in.flv -f mpeg -acodec aac out.mpg"),
              "the mpeg container cannot hold aac (it takes mp2 libmp3lame ac3 pcm_s16be)");
    EXPECT_EQ(refusal("-i in.flv -vcodec rv20 -acodec mp3 out.rm"),
              "the rm container cannot hold libmp3lame (it takes ac3)");
}

TEST(AmrAudio, MadeByTheFrontAndCopiedIntoThe3gp) {
    const TranslationContext context{.amrStreamPath = "pipe:3"};
    const Translation t = translate(
        "-i /v/c.flv -y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec amr_nb -ab 48 "
        "-ar 8000 -ac 1 /v/c.3gp",
        context);
    ASSERT_TRUE(t.ok) << t.error;
    ASSERT_TRUE(t.plan.amrAudio);
    EXPECT_EQ(joined(t.plan.amrAudio->decodeArgs),
              "-hide_banner -nostdin -v error -nostats -i /v/c.flv -map 0:a:0 -ac 1 -ar 8000 -c:a pcm_s16le -f s16le "
              "pipe:1");
    EXPECT_EQ(t.plan.amrAudio->mode->label, "12.2");  // 48 kbit/s is above every AMR-NB rate
    EXPECT_EQ(t.plan.amrAudio->streamPath, "pipe:3");
    EXPECT_EQ(joined(t.plan.ffmpegArgs),
              "-hide_banner -nostdin -y -i /v/c.flv -thread_queue_size 1024 -f amr -i pipe:3 -map 0:v:0? -map 1:a:0 "
              "-c:v h263 -s 176x144 -r 11 -b:v 120k -bt 60k -c:a copy -f 3gp /v/c.3gp");
    EXPECT_FALSE(translate("-i a.flv -acodec aac a.3g2", context).plan.amrAudio);
}

TEST(AmrAudio, FollowsWhatTheSourceHolds) {
    const std::string line = "-i c.flv -vcodec mpeg4 -acodec amr_nb c.3g2";
    const Translation noAudio = translate(line, {.sourceHasAudio = false, .amrStreamPath = "pipe:3"});
    EXPECT_FALSE(noAudio.plan.amrAudio);
    EXPECT_EQ(joined(noAudio.plan.ffmpegArgs), "-hide_banner -nostdin -i c.flv -c:v mpeg4 -f 3g2 c.3g2");
    const Translation noVideo = translate(line, {.sourceHasVideo = false, .amrStreamPath = "pipe:3"});
    ASSERT_TRUE(noVideo.plan.amrAudio);
    EXPECT_EQ(joined(noVideo.plan.ffmpegArgs),
              "-hide_banner -nostdin -i c.flv -thread_queue_size 1024 -f amr -i pipe:3 -map 1:a:0 -c:a copy -f 3g2 "
              "c.3g2");
}

TEST(AmrAudio, RefusesRatesAndChannelsItCannotHave) {
    EXPECT_EQ(refusal("-i c.flv -acodec amr_nb -ar 44100 c.3gp"), "AMR-NB audio is 8000 Hz only, not 44100 Hz (-ar)");
    EXPECT_EQ(refusal("-i c.flv -acodec amr_nb -ac 2 c.3gp"), "AMR-NB audio is mono only, not 2 channels (-ac)");
}

TEST(AmrAudio, TheHighestModeNotAboveTheAskedRate) {
    EXPECT_EQ(amrModeForBitrate("")->label, "12.2");
    EXPECT_EQ(amrModeForBitrate("48")->label, "12.2");
    EXPECT_EQ(amrModeForBitrate("12.2")->label, "12.2");
    EXPECT_EQ(amrModeForBitrate("10")->label, "7.95");
    EXPECT_EQ(amrModeForBitrate("7.95k")->label, "7.95");
    EXPECT_EQ(amrModeForBitrate("0.0059M")->label, "5.9");
    EXPECT_EQ(amrModeForBitrate("2")->label, "4.75");
    EXPECT_EQ(amrModeForBitrate("fast"), nullptr);
}

}  // namespace
}  // namespace zenvira::encoder
