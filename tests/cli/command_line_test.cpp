// How zenvira-cli reads its command line, in process: commands, options anywhere, values,
// help and version, and every kind of mistake as one line.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/cli/command_line.h"
#include "app/cli/shell_quote.h"

using namespace zenvira::cli;
using Action = ParsedCommandLine::Action;

namespace {

ParsedCommandLine parse(const std::vector<const char*>& words) {
    QStringList arguments{QStringLiteral("zenvira-cli")};
    for (const char* word : words) arguments << QString::fromUtf8(word);
    return parseCommandLine(arguments);
}

TEST(CliCommandLine, OptionsStandBeforeOrAfterTheOperandsInEveryForm) {
    const char* address = "https://www.youtube.com/watch?v=abcdefghijk";
    for (const auto& words : std::vector<std::vector<const char*>>{
             {"download", address, "-o", "out", "--quality", "720", "--connections", "4", "--limit-rate", "500K", "-q", "--json"},
             {"download", "-o", "out", "--quality=720", address, "--connections=4", "--limit-rate=500K", "--quiet", "--json"},
             {"--json", "-q", "download", "--output=out", "--quality", "720", "--connections", "4", "--limit-rate", "500k", address},
             {"-oout", "download", "--json", address, "--quiet", "--quality", "720", "--connections", "4", "--limit-rate", "512000"},
         }) {
        const auto parsed = parse(words);
        ASSERT_EQ(parsed.action, Action::Run) << parsed.text;
        const CliRequest& r = parsed.request;
        EXPECT_EQ(r.command, Command::Download);
        EXPECT_EQ(r.operands, std::vector<std::string>{address});
        EXPECT_EQ(r.output, "out");
        EXPECT_EQ(r.quality, 720);
        EXPECT_EQ(r.connections, 4);
        EXPECT_EQ(r.limitRate, 500 * 1024);
        EXPECT_TRUE(r.quiet);
        EXPECT_TRUE(r.json);
    }
    const auto sound = parse({"download", address, "--audio-only"});
    ASSERT_EQ(sound.action, Action::Run) << sound.text;
    EXPECT_TRUE(sound.request.audioOnly);
    EXPECT_FALSE(parse({"download", address}).request.audioOnly);
    EXPECT_EQ(parse({"download", address, "--subtitles", "en, pt-BR"}).request.subtitles,
              (std::vector<std::string>{"en", "pt-BR"}));
    EXPECT_EQ(parse({"batch", "-", "--subtitles=all"}).request.subtitles, std::vector<std::string>{"all"});
    const auto batch = parse({"batch", "-", "--connections", "2"});
    ASSERT_EQ(batch.action, Action::Run) << batch.text;
    EXPECT_EQ(batch.request.operands, std::vector<std::string>{"-"});
    const auto convert = parse({"convert", "clip.flv", "--print", "MP3 Sound (MP3)"});
    ASSERT_EQ(convert.action, Action::Run) << convert.text;
    EXPECT_TRUE(convert.request.print);
    EXPECT_EQ(convert.request.operands, (std::vector<std::string>{"clip.flv", "MP3 Sound (MP3)"}));
    // After "--" a word that looks like an option is an operand.
    const auto dashed = parse({"convert", "--", "-odd.flv", "MP3 Sound (MP3)"});
    ASSERT_EQ(dashed.action, Action::Run) << dashed.text;
    EXPECT_EQ(dashed.request.operands.front(), "-odd.flv");
    // --player serves too, its command split into words without a shell.
    const auto served = parse({"download", "--serve", address});
    ASSERT_EQ(served.action, Action::Run) << served.text;
    EXPECT_TRUE(served.request.serve);
    EXPECT_TRUE(served.request.player.empty());
    const auto played = parse({"download", address, "--player", "mpv --title='my clip' \"$HOME\""});
    ASSERT_EQ(played.action, Action::Run) << played.text;
    EXPECT_TRUE(played.request.serve);
    EXPECT_EQ(played.request.player, (std::vector<std::string>{"mpv", "--title=my clip", "$HOME"}));
    // The browsers start the native host with their caller's names after it: Chromium the
    // extension's origin, Firefox the manifest and the extension's id.
    for (const auto& words : std::vector<std::vector<const char*>>{
             {"native-host", "--queue", "q.db"},
             {"native-host", "chrome-extension://abcdefghijklmnopabcdefghijklmnop/", "--queue=q.db"},
             {"--queue", "q.db", "native-host", "/usr/lib/mozilla/native-messaging-hosts/net.zenvira.host.json", "zenvira@zenvira.net"}}) {
        const auto host = parse(words);
        ASSERT_EQ(host.action, Action::Run) << host.text;
        EXPECT_EQ(host.request.command, Command::NativeHost);
        EXPECT_EQ(host.request.queue, "q.db");
        EXPECT_TRUE(host.request.operands.empty());
    }
}

TEST(CliCommandLine, HelpAndVersionForTheProgramAndEveryCommand) {
    for (const char* flag : {"--help", "-h"}) {
        const auto program = parse({flag});
        EXPECT_EQ(program.action, Action::ShowHelp);
        for (const char* command : {"resolve", "download", "batch", "profiles", "convert", "native-host"})
            EXPECT_NE(program.text.find(command), std::string::npos) << command;
        const auto download = parse({"download", flag});
        EXPECT_EQ(download.action, Action::ShowHelp);
        EXPECT_NE(download.text.find("zenvira-cli download [OPTIONS] ADDRESS"), std::string::npos) << download.text;
        EXPECT_NE(download.text.find("--limit-rate"), std::string::npos) << download.text;
        EXPECT_EQ(download.text.find("--print"), std::string::npos) << "convert's option is not download's";
    }
    for (const auto& words : std::vector<std::vector<const char*>>{{"--version"}, {"convert", "--version"}}) {
        const auto version = parse(words);
        EXPECT_EQ(version.action, Action::ShowVersion);
        EXPECT_EQ(version.text, "zenvira-cli 2.5\n");
    }
}

TEST(CliCommandLine, MistakesAreOneLineNamingWhatIsWrong) {
    struct Case {
        std::vector<const char*> words;
        const char* says;
    };
    for (const Case& c : std::vector<Case>{
             {{}, "a command is needed"},
             {{"fetch", "x"}, "unknown command 'fetch'"},
             {{"download", "x", "--frobnicate"}, "frobnicate"},
             {{"download", "x", "--print"}, "print"},
             {{"profiles", "-o", "x"}, "o"},
             {{"download"}, "download takes ADDRESS"},
             {{"download", "a", "b"}, "download takes ADDRESS"},
             {{"convert", "clip.flv"}, "convert takes FILE PROFILE"},
             {{"download", "x", "--quality", "1000"}, "--quality takes 1080, 720, 480, 360 or 240"},
             {{"download", "x", "--connections", "0"}, "--connections takes 1 to 16"},
             {{"download", "x", "--connections", "17"}, "--connections takes 1 to 16"},
             {{"download", "x", "--limit-rate", "fast"}, "--limit-rate takes a rate"},
             {{"download", "x", "--limit-rate"}, "limit-rate"},
             {{"download", "x", "-o", ""}, "-o takes"},
             {{"download", "x", "--audio-only", "--quality", "720"}, "--audio-only and --quality cannot go together"},
             {{"batch", "-", "--audio-only"}, "audio-only"},
             {{"download", "x", "--subtitles", ","}, "--subtitles takes languages"},
             {{"download", "x", "--player", "mpv 'unclosed"}, "--player takes a command"},
             {{"download", "x", "--player", " "}, "--player takes a command"},
             {{"batch", "x", "--serve"}, "serve"},
             {{"download", "x", "--queue", "q.db"}, "queue"},
             {{"native-host", "--queue", ""}, "--queue takes a file"},
             {{"native-host", "a", "b", "c"}, "native-host takes no operand"},
         }) {
        const auto parsed = parse(c.words);
        EXPECT_EQ(parsed.action, Action::UsageError) << c.says;
        EXPECT_NE(parsed.text.find(c.says), std::string::npos) << parsed.text;
        EXPECT_EQ(parsed.text.find('\n'), std::string::npos) << parsed.text;
        EXPECT_EQ(parsed.text.rfind("zenvira-cli: ", 0), 0u) << parsed.text;
    }
}

TEST(CliCommandLine, RatesTakeSuffixesAndRefuseNonsense) {
    EXPECT_EQ(parseRate("100"), 100);
    EXPECT_EQ(parseRate("2M"), 2 * 1024 * 1024);
    EXPECT_EQ(parseRate("1.5k"), 1536);
    EXPECT_EQ(parseRate("1G"), 1024LL * 1024 * 1024);
    for (const char* bad : {"", "0", "K", "-5K", "5KB", "1e3", "0.0001"}) EXPECT_FALSE(parseRate(bad)) << bad;
}

TEST(CliCommandLine, OutputNamesAFolderOrAFileWithAnExtension) {
    QTemporaryDir cwd;
    const std::string here = cwd.path().toStdString();
    QDir(cwd.path()).mkpath(QStringLiteral("existing.d"));
    struct Case {
        std::string output;
        bool fileAllowed;
        std::string folder;
        std::string fileName;
    };
    for (const Case& c : std::vector<Case>{
             {"out", true, here + "/out", ""},
             {"out/clip.flv", true, here + "/out", "clip.flv"},
             {"out/clip.flv", false, here + "/out/clip.flv", ""},
             {"existing.d", true, here + "/existing.d", ""},  // a folder, though it has a dot
             {"new.d/", true, here + "/new.d", ""},
             {"./a/../b", true, here + "/b", ""},
             {".hidden", true, here + "/.hidden", ""},
             {"/abs/x.mp4", true, "/abs", "x.mp4"},
             {"/abs/folder", true, "/abs/folder", ""},
         }) {
        const auto target = outputTarget(c.output, here, c.fileAllowed);
        EXPECT_EQ(target.folder, c.folder) << c.output;
        EXPECT_EQ(target.fileName, c.fileName) << c.output;
    }
}

TEST(CliShellQuote, WordsComeBackAsTheyWereAndNothingIsExpanded) {
    EXPECT_EQ(posixShellWord("/usr/lib/zenvira/avformat.dll"), "/usr/lib/zenvira/avformat.dll");
    EXPECT_EQ(posixShellWord("-i"), "-i");
    EXPECT_EQ(posixShellWord(""), "''");
    EXPECT_EQ(posixShellWord("a b"), "'a b'");
    EXPECT_EQ(posixShellWord("$(id)`id`$HOME*"), "'$(id)`id`$HOME*'");
    EXPECT_EQ(posixShellWord("it's"), "'it'\\''s'");
    EXPECT_EQ(posixCommandLine({"ffmpeg", "-i", "my clip.flv"}), "ffmpeg -i 'my clip.flv'");
    // ... and a line splits back into its words as a shell reads it.
    const std::vector<std::string> words = {"mpv", "", "a b", "it's", "$(id)`id`", "\\\"x\""};
    EXPECT_EQ(splitPosixShellWords(posixCommandLine(words)), words);
    EXPECT_EQ(splitPosixShellWords("  a\\ b \"c \\\"d\\\" $e\"  f''g "),
              (std::vector<std::string>{"a b", "c \"d\" $e", "fg"}));
    EXPECT_EQ(splitPosixShellWords("a 'b"), std::nullopt);
    EXPECT_EQ(splitPosixShellWords("a \"b"), std::nullopt);
    EXPECT_EQ(splitPosixShellWords("a\\"), std::nullopt);
}

}  // namespace
