// The encoder's command line from settings (pure) and its split by the Windows rules, which
// is how the encoder receives it on this system.
#include <gtest/gtest.h>

#include "convert/command_line.h"
#include "platform/windows_command_line.h"

namespace zenvira::convert {
namespace {

const std::string kEncoder = "C:\\Tools\\avformat.dll";

std::string lineFor(const ConversionSettings& s, bool overWrite) {
    return buildEncoderCommand(s, overWrite, kEncoder, kEncoder).text();
}

TEST(CommandLine, AudioExampleHasInputFirstAndOnlyThePathsQuoted) {
    ConversionSettings s;
    s.SourceFile = "C:\\v\\clip.flv";
    s.DestFile = "C:\\v\\clip.mp3";
    s.ForceFormat = "mp3";
    s.AudioCodec = "mp3";
    s.AudioBitrate = "128";
    s.AudioSamples = "44100";
    s.AudioChannels = "2";
    EXPECT_EQ(lineFor(s, true),
              "C:\\Tools\\avformat.dll -i \"C:\\v\\clip.flv\" -y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2 "
              "\"C:\\v\\clip.mp3\"");
}

TEST(CommandLine, OnlyThePathsSet) {
    ConversionSettings s;
    s.SourceFile = "in.flv";
    s.DestFile = "out.mp3";
    EXPECT_EQ(lineFor(s, false), kEncoder + " -i \"in.flv\" \"out.mp3\"");
    EXPECT_EQ(lineFor(s, true), kEncoder + " -i \"in.flv\" -y \"out.mp3\"");
}

TEST(CommandLine, EveryOptionInItsFixedOrderWhateverTheAssignmentOrder) {
    ConversionSettings s;
    s.SourceFile = "a";
    s.DestFile = "b";
    // Assigned in the order of the class's interface, which is not the command line's.
    s.RateControlBuffer = "BUF";
    s.VideoBitrateTolerance = "BT";
    s.TargetFormat = "TGT";
    s.GroupOfPictureSize = "G";
    s.VideoQuantiserScale = "Q";
    s.MaxVideoBitrate = "MAX";
    s.DeInterlace = true;
    s.SameQuality = true;
    s.VideoSize = "S";
    s.VideoBitrate = "B";
    s.VideoFrameRate = "R";
    s.VideoCodec = "VC";
    s.VideoFourCCTag = "VT";
    s.VideoAspectRatio = "ASP";
    s.ForceFormat = "F";
    s.AudioBitrate = "AB";
    s.AudioCodec = "AC";
    s.AudioFourCCTag = "AT";
    s.AudioSamples = "AR";
    s.AudioChannels = "CH";
    EXPECT_EQ(encoderOptions(s, true),
              "-y -b B -r R -s S -vcodec VC -vtag VT -aspect ASP -bt BT -f F -target TGT -bufsize BUF -g G "
              "-qscale Q -maxrate MAX -deinterlace -sameq -acodec AC -atag AT -ab AB -ar AR -ac CH ");
}

TEST(CommandLine, ValuesPassUnquotedAndFlagsStandAlone) {
    ConversionSettings s;
    s.SourceFile = "a";
    s.DestFile = "b";
    s.VideoSize = "320 x 240";
    s.SameQuality = true;
    EXPECT_EQ(encoderOptions(s, false), "-s 320 x 240 -sameq ");
    s.VideoSize = "";  // an empty value removes its option
    s.SameQuality = false;
    EXPECT_EQ(encoderOptions(s, false), "");
}

TEST(CommandLine, ProgramPartIsTheShortFormAndArgumentsAreTheRest) {
    ConversionSettings s;
    s.SourceFile = "in.flv";
    s.DestFile = "out.mp3";
    const EncoderCommand c = buildEncoderCommand(s, false, "C:\\Program Files\\Z\\avformat.dll", "C:\\PROGRA~1\\Z\\AVFORMAT.DLL");
    EXPECT_EQ(c.program, "C:\\Program Files\\Z\\avformat.dll");
    EXPECT_EQ(c.text(), "C:\\PROGRA~1\\Z\\AVFORMAT.DLL -i \"in.flv\" \"out.mp3\"");
    EXPECT_EQ(c.arguments, " -i \"in.flv\" \"out.mp3\"");
}

using platform::splitWindowsArguments;
using Words = std::vector<std::string>;

TEST(WindowsArguments, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(splitWindowsArguments(" -i \"C:\\my videos\\clip.flv\" -y -s 320 x 240 \"out file.mp3\""),
              (Words{"-i", "C:\\my videos\\clip.flv", "-y", "-s", "320", "x", "240", "out file.mp3"}));
    EXPECT_EQ(splitWindowsArguments("  a\t\tb  "), (Words{"a", "b"}));
    EXPECT_EQ(splitWindowsArguments(""), Words{});
    EXPECT_EQ(splitWindowsArguments("a \"\" b"), (Words{"a", "", "b"}));
    EXPECT_EQ(splitWindowsArguments("ab\"c d\"e"), (Words{"abc de"}));
    EXPECT_EQ(splitWindowsArguments("\"unclosed quote"), (Words{"unclosed quote"}));
    EXPECT_EQ(splitWindowsArguments("\"/tmp/Ünïcode dir/ä.flv\""), (Words{"/tmp/Ünïcode dir/ä.flv"}));
}

TEST(WindowsArguments, BackslashesAreLiteralUnlessBeforeAQuote) {
    EXPECT_EQ(splitWindowsArguments("C:\\a\\\\b\\"), (Words{"C:\\a\\\\b\\"}));
    EXPECT_EQ(splitWindowsArguments("a\\\"b"), (Words{"a\"b"}));            // 1 -> 0 and a literal quote
    EXPECT_EQ(splitWindowsArguments("a\\\\\"b c\""), (Words{"a\\b c"}));     // 2 -> 1 and a grouping quote
    EXPECT_EQ(splitWindowsArguments("a\\\\\\\"b c"), (Words{"a\\\"b", "c"}));  // 3 -> 1 and a literal quote
    // A backslash before the closing quote escapes it: the path swallows what follows.
    EXPECT_EQ(splitWindowsArguments("\"C:\\dir\\\" -y"), (Words{"C:\\dir\" -y"}));
}

TEST(WindowsArguments, DoubledQuotesInsideAQuotedPart) {
    EXPECT_EQ(splitWindowsArguments("\"a\"\"b\""), (Words{"a\"b"}));
    EXPECT_EQ(splitWindowsArguments("\"a\"\"\"b\""), (Words{"a\"b"}));
    EXPECT_EQ(splitWindowsArguments("\"\"\"a\"\"\""), (Words{"\"a\""}));
}

}  // namespace
}  // namespace zenvira::convert
