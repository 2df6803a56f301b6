// avformat.dll as a process, with a stand-in ffmpeg (a shell script named by ZENVIRA_FFMPEG):
// what ffmpeg is given, whose output is whose, exit statuses, stop signals and the front's
// death.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/encoder/front_runner.h"

namespace zenvira::encoder::testing {
namespace {

// Options of the "MP3 Sound (MP3)" profile.
const Words kMp3Profile{"-i",  "/v/clip.flv", "-y",  "-f",    "mp3", "-acodec", "mp3",
                        "-ab", "128",         "-ar", "44100", "-ac", "2",       "/v/my clip.mp3"};

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class FrontProcess : public ::testing::Test {
protected:
    // A stand-in ffmpeg running `body`; $here is the test folder.
    Words useFfmpeg(const std::string& body) {
        const std::string path = folder.writeScript("ffmpeg", "here=" + folder.path() + "\n" + body);
        return {"ZENVIRA_FFMPEG=" + path};
    }
    TempFolder folder;
};

TEST_F(FrontProcess, FfmpegGetsTheTranslatedArgumentsAndItsExitStatusComesBack) {
    const Words env = useFfmpeg("printf '%s\\n' \"$@\" > \"$here/args\"; exit 3");
    const ProgramRun run = runProgram(frontPath(), kMp3Profile, env);
    EXPECT_TRUE(run.exited(3)) << run.status << run.err;
    EXPECT_EQ(readFile(folder.file("args")),
              "-hide_banner\n-nostdin\n-y\n-i\n/v/clip.flv\n-vn\n-c:a\nlibmp3lame\n-b:a\n128k\n-ar\n44100\n-ac\n2\n"
              "-f\nmp3\n/v/.my clip.part.mp3\n");
}

TEST_F(FrontProcess, FfmpegWritesToTheFrontsOwnOutputAndError) {
    const Words env = useFfmpeg("echo progress >&2; echo listing; exit 0");
    const ProgramRun run = runProgram(frontPath(), kMp3Profile, env);
    EXPECT_TRUE(run.exited(0));
    EXPECT_EQ(run.out, "listing\n");
    EXPECT_EQ(run.err, "progress\n");
}

TEST_F(FrontProcess, ACommandLineItCannotTakeFailsWithTheReasonAndRunsNothing) {
    const Words env = useFfmpeg("touch \"$here/ran\"");
    ProgramRun run = runProgram(frontPath(), {"-i", "a.flv", "-s", "320", "x", "240", "b.avi"}, env);
    EXPECT_TRUE(run.exited(2));
    EXPECT_EQ(run.err,
              "avformat.dll: more than one destination: 'x' and '240' (a value holding blanks must be one argument)\n");
    run = runProgram(frontPath(), {"-i", "a.flv", "-acodec", "amr_nb", "-ar", "44100", "b.3gp"}, env);
    EXPECT_TRUE(run.exited(2));
    EXPECT_EQ(run.err, "avformat.dll: AMR-NB audio is 8000 Hz only, not 44100 Hz (-ar)\n");
    run = runProgram(frontPath(), {}, env);
    EXPECT_TRUE(run.exited(2));
    EXPECT_FALSE(std::filesystem::exists(folder.file("ran")));
}

TEST_F(FrontProcess, MissingFfmpegIsReported) {
    ProgramRun run = runProgram(frontPath(), kMp3Profile, {"ZENVIRA_FFMPEG=" + folder.file("nothing-here")});
    EXPECT_TRUE(run.exited(1));
    EXPECT_EQ(run.err,
              "avformat.dll: ZENVIRA_FFMPEG names no program that can be run: " + folder.file("nothing-here") + "\n");
    run = runProgram(frontPath(), kMp3Profile, {"ZENVIRA_FFMPEG=", "PATH=" + folder.path()});
    EXPECT_TRUE(run.exited(1));
    EXPECT_NE(run.err.find("ffmpeg is not installed"), std::string::npos) << run.err;
}

TEST_F(FrontProcess, FfmpegIsFoundOnPathWithoutTheVariable) {
    useFfmpeg("echo found; exit 0");
    const ProgramRun run = runProgram(frontPath(), kMp3Profile, {"ZENVIRA_FFMPEG=", "PATH=" + folder.path()});
    EXPECT_TRUE(run.exited(0));
    EXPECT_EQ(run.out, "found\n");
}

TEST_F(FrontProcess, StopSignalsArePassedToFfmpeg) {
    for (const int signal : {SIGTERM, SIGINT}) {
        std::filesystem::remove(folder.file("pid"));
        const Words env = useFfmpeg(
            "trap 'echo stopped > \"$here/stopped\"; exit 7' TERM INT\n"
            "echo $$ > \"$here/pid\"\nwhile :; do sleep 0.02; done");
        const pid_t front = startProgram(frontPath(), kMp3Profile, env, folder.file("out"), folder.file("err"));
        ASSERT_FALSE(waitForText(folder.file("pid"), 5000).empty());
        kill(front, signal);
        const int status = waitProgram(front, 5000);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << "signal " << signal << " status " << status;
        EXPECT_EQ(readFile(folder.file("stopped")), "stopped\n");
    }
}

TEST_F(FrontProcess, FfmpegEndedByASignalEndsTheFrontTheSameWay) {
    const Words env = useFfmpeg("kill -USR1 $$; sleep 5");
    const ProgramRun run = runProgram(frontPath(), kMp3Profile, env);
    EXPECT_TRUE(run.killedBy(SIGUSR1)) << run.status;
}

TEST_F(FrontProcess, FfmpegDiesWithTheFront) {
    const Words env = useFfmpeg("echo $$ > \"$here/pid\"; exec sleep 30");
    const pid_t front = startProgram(frontPath(), kMp3Profile, env, folder.file("out"), folder.file("err"));
    const std::string pidText = waitForText(folder.file("pid"), 5000);
    ASSERT_FALSE(pidText.empty());
    const pid_t ffmpeg = std::stoi(pidText);
    kill(front, SIGKILL);
    waitProgram(front, 5000);
    bool gone = false;
    for (int i = 0; i < 300 && !gone; ++i) {
        gone = !processAlive(ffmpeg);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone);
    if (!gone) kill(ffmpeg, SIGKILL);
}

// AMR-NB audio: a decoding ffmpeg feeds the front, the front feeds a muxing ffmpeg. A stop
// reaches both, and the front ends like the muxer.
TEST_F(FrontProcess, StopSignalReachesBothFfmpegsOfTheAmrPipeline) {
    folder.writeScript("ffprobe", "printf 'video\\naudio\\n'");
    const Words env = useFfmpeg(
        "case \"$*\" in *s16le*) echo $$ > \"$here/decoder\"; exec cat /dev/zero;; esac\n"
        "trap 'echo \"$reads\" > \"$here/muxer-stopped\"; exit 9' TERM\n"
        "echo $$ > \"$here/muxer\"\n"
        "reads=$(head -c 6 <&3)\nwhile :; do sleep 0.02; done");
    const pid_t front = startProgram(frontPath(), {"-i", "a.flv", "-y", "-acodec", "amr_nb", "a.3gp"}, env,
                                     folder.file("out"), folder.file("err"));
    const pid_t decoder = std::stoi("0" + waitForText(folder.file("decoder"), 5000));
    ASSERT_FALSE(waitForText(folder.file("muxer"), 5000).empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(front, SIGTERM);
    const int status = waitProgram(front, 5000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status << readFile(folder.file("err"));
    EXPECT_EQ(readFile(folder.file("muxer-stopped")), "#!AMR\n");
    EXPECT_FALSE(decoder > 0 && processAlive(decoder));
}

// FFmpeg writes under a temporary name; only a run that succeeds puts the file in place.
// A failed or stopped run leaves no trace and an earlier output as it was.
TEST_F(FrontProcess, TheOutputAppearsOnlyWhenTheRunSucceeds) {
    const std::string output = folder.file("my clip.mp3");
    const std::string staging = folder.file(".my clip.part.mp3");
    Words args = kMp3Profile;
    args.back() = output;
    // The stand-in writes to its last argument, then ends as $outcome says.
    const std::string writer = "for last; do :; done\necho partial > \"$last\"\n";

    std::filesystem::remove(output);
    ProgramRun run = runProgram(frontPath(), args, useFfmpeg(writer + "exit 0"));
    EXPECT_TRUE(run.exited(0)) << run.err;
    EXPECT_EQ(readFile(output), "partial\n");
    EXPECT_FALSE(std::filesystem::exists(staging));

    writeFile(output, "earlier output");
    run = runProgram(frontPath(), args, useFfmpeg(writer + "echo 'clip.flv: Invalid data found' >&2; exit 1"));
    EXPECT_TRUE(run.exited(1));
    EXPECT_EQ(run.err, "clip.flv: Invalid data found\n");
    EXPECT_EQ(readFile(output), "earlier output");
    EXPECT_FALSE(std::filesystem::exists(staging));

    const Words looping = useFfmpeg(writer + "echo $$ > \"$here/pid\"\nwhile :; do sleep 0.02; done");
    std::filesystem::remove(folder.file("pid"));
    const pid_t front = startProgram(frontPath(), args, looping, folder.file("out"), folder.file("err"));
    ASSERT_FALSE(waitForText(folder.file("pid"), 5000).empty());
    EXPECT_TRUE(std::filesystem::exists(staging));
    kill(front, SIGTERM);
    const int status = waitProgram(front, 5000);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(readFile(output), "earlier output");
    EXPECT_FALSE(std::filesystem::exists(staging));

    // Without -y an existing output is refused and FFmpeg does not run.
    Words noOverwrite;
    for (const auto& word : args)
        if (word != "-y") noOverwrite.push_back(word);
    run = runProgram(frontPath(), noOverwrite, useFfmpeg("touch \"$here/ran\""));
    EXPECT_TRUE(run.exited(1));
    EXPECT_EQ(run.err, "avformat.dll: '" + output + "' already exists (-y replaces it)\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("ran")));
}

TEST_F(FrontProcess, PrintShowsTheRunsAndRunsNothing) {
    const Words env = useFfmpeg("touch \"$here/ran\"");
    Words args{"--print"};
    args.insert(args.end(), kMp3Profile.begin(), kMp3Profile.end());
    const ProgramRun run = runProgram(frontPath(), args, env);
    EXPECT_TRUE(run.exited(0));
    EXPECT_EQ(run.out, folder.file("ffmpeg") +
                           " -hide_banner -nostdin -y -i /v/clip.flv -vn -c:a libmp3lame -b:a 128k -ar 44100 -ac 2 "
                           "-f mp3 '/v/my clip.mp3'\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("ran")));
}

TEST_F(FrontProcess, HelpListsTheMappings) {
    const ProgramRun run = runProgram(frontPath(), {"--help"});
    EXPECT_TRUE(run.exited(0));
    for (const char* mapping : {"-sameq", "-deinterlace", "libmp3lame", "libxvid", "libx264",
                                "AMR-NB made by this program", "mpegts under the same name", ".rm", "wmav2"})
        EXPECT_NE(run.out.find(mapping), std::string::npos) << mapping;
}

}  // namespace
}  // namespace zenvira::encoder::testing
