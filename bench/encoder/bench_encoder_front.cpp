// What the encoder front adds to a conversion: the same conversion run through avformat.dll
// and run directly with ffmpeg (the arguments the front would give it), interleaved, who goes
// first alternating; wall time from spawn to reap, medians. Plus the front's fixed cost alone:
// the front with /bin/true standing in for ffmpeg, against /bin/true run directly.
//
//   bench_encoder_front [rounds]      (default 15)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/legacy_command.h"
#include "encoder/option_translation.h"

extern char** environ;

namespace {

using Words = std::vector<std::string>;

struct Case {
    const char* profile;
    const char* options;  // the profile's options as the converter passes them
    const char* extension;
};

const Case kCases[] = {
    {"MP3 Sound (MP3)", "-y -f mp3 -acodec mp3 -ab 128 -ar 44100 -ac 2", ".mp3"},
    {"Zune WMV", "-y -b 1500 -r 29.97 -s 320x240 -vcodec wmv2 -acodec mp3 -ab 128 -ar 48000 -ac 2", ".wmv"},
    {"Zune MPEG-4 AVC",
     "-y -b 1500 -r 29.97 -s 320x240 -vcodec h264 -bufsize 128 -g 250 -qscale 25 -maxrate 1500 -acodec aac -ab 64 "
     "-ar 48000 -ac 2",
     ".avi"},
    {"AVI (MPEG4-XviD-Best Quality)", "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2", ".avi"},
    {"iPhone Video", "-y -b 1200 -s 320x240 -vcodec mpeg4 -aspect 4:3 -acodec aac -ab 80 -ar 44100 -ac 2", ".mpg"},
};

// The 3GP profile: its AMR-NB audio is made by the front (probe, audio decode, AMR-NB, mux),
// which no single ffmpeg run here can do; the same video with AAC audio stands beside it.
const Case kAmrCase{"3GP (for Mobile)",
                    "-y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec amr_nb -ab 48 -ar 8000 -ac 1", ".3gp"};
const Case kAmrYardstick{"3GP with AAC",
                         "-y -b 120 -r 11 -s 176x144 -vcodec h263 -bt 60 -acodec aac -ab 48 -ar 8000 -ac 1", ".3gp"};

Words split(const std::string& text) {
    std::istringstream in(text);
    Words words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

struct Timing {
    double wallMs = -1;  // -1: the run failed
    double cpuMs = 0;    // user + system of the process and what it waited for
};

double milliseconds(const timeval& t) { return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0; }

// Runs a program with its output thrown away.
Timing timedRun(const std::string& program, const Words& args, const Words& environment) {
    Words argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp;
    for (auto& word : argv) argp.push_back(word.data());
    argp.push_back(nullptr);
    Words env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& word : env) envp.push_back(word.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime)};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Words frontArgs(const std::string& source, const Case& c, const std::string& output) {
    Words args{"-i", source};
    const Words options = split(c.options);
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(output);
    return args;
}

// The arguments the front gives ffmpeg for this case.
Words directArgs(const std::string& source, const Case& c, const std::string& output) {
    const auto parsed = zenvira::encoder::parseLegacyCommand(frontArgs(source, c, output));
    const auto translation = zenvira::encoder::translateCommand(parsed.command, {});
    return translation.plan.ffmpegArgs;
}

struct Medians {
    double front = 0;
    double direct = 0;
    double added = 0;      // the median of the per-round differences of wall time
    double cpuAdded = 0;   // the same for processor time
    double bestAdded = 0;  // fastest front run less fastest ffmpeg run: the least disturbed pair
};

// `rounds` interleaved pairs; false when a run failed.
bool measure(const std::string& ffmpeg, const std::string& frontProgram, const Words& front, const Words& direct,
             const Words& frontEnv, int rounds, Medians& result) {
    std::vector<double> frontTimes, directTimes, added, cpuAdded;
    for (int round = 0; round < rounds; ++round) {
        Timing pair[2];
        for (int turn = 0; turn < 2; ++turn) {
            const bool frontTurn = (round + turn) % 2 == 0;
            const Timing t = frontTurn ? timedRun(frontProgram, front, frontEnv) : timedRun(ffmpeg, direct, {});
            if (t.wallMs < 0) return false;
            pair[frontTurn ? 0 : 1] = t;
        }
        frontTimes.push_back(pair[0].wallMs);
        directTimes.push_back(pair[1].wallMs);
        added.push_back(pair[0].wallMs - pair[1].wallMs);
        cpuAdded.push_back(pair[0].cpuMs - pair[1].cpuMs);
    }
    result = {median(frontTimes), median(directTimes), median(added), median(cpuAdded),
              *std::min_element(frontTimes.begin(), frontTimes.end()) -
                  *std::min_element(directTimes.begin(), directTimes.end())};
    return true;
}

bool makeSource(const std::string& ffmpeg, const std::string& path) {
    const Words args = split(
        "-v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i "
        "sine=frequency=440:sample_rate=44100 -t 30 -c:v flv -b:v 800k -c:a libmp3lame -ac 2 " +
        path);
    return timedRun(ffmpeg, args, {}).wallMs >= 0;
}

void printRow(const char* name, const Medians& m) {
    std::printf("| %-34s | %9.1f ms | %9.1f ms | %+7.1f ms | %+6.2f %% | %+7.1f ms | %+7.1f ms |\n", name, m.front,
                m.direct, m.added, 100.0 * m.added / m.direct, m.bestAdded, m.cpuAdded);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string ffmpeg = "/usr/bin/ffmpeg";
    const std::string front = BENCH_ENCODER_FRONT;
    const std::string folder =
        std::filesystem::temp_directory_path().string() + "/bench-encoder-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::string source = folder + "/clip.flv";
    if (!makeSource(ffmpeg, source)) {
        std::fprintf(stderr, "cannot make the source clip with %s\n", ffmpeg.c_str());
        return 1;
    }
    const Words frontEnv{"ZENVIRA_FFMPEG=" + ffmpeg};
    std::printf("30 s source, 320x240 25 fps FLV + MP3; %d rounds; medians (added: of the per-round differences)\n\n",
                rounds);
    std::printf("| %-34s | %12s | %12s | %10s | %8s | %10s | %10s |\n", "conversion", "front", "ffmpeg", "added",
                "added", "best added", "CPU added");
    std::printf("|---|---|---|---|---|---|---|\n");
    Medians m;
    if (measure("/bin/true", front, frontArgs(source, kCases[0], folder + "/t.mp3"), {}, {"ZENVIRA_FFMPEG=/bin/true"},
                rounds * 4, m))
        printRow("fixed cost (/bin/true as ffmpeg)", m);
    for (const Case& c : kCases) {
        const std::string output = folder + "/out" + c.extension;
        if (!measure(ffmpeg, front, frontArgs(source, c, output), directArgs(source, c, output), frontEnv, rounds, m)) {
            std::fprintf(stderr, "%s: a run failed\n", c.profile);
            continue;
        }
        printRow(c.profile, m);
    }
    // No ffmpeg run makes AMR-NB here; the yardstick is one ffmpeg run with AAC in its place.
    const std::string amrOutput = folder + "/out.3gp";
    const Words yardstick = directArgs(source, kAmrYardstick, amrOutput);
    if (measure(ffmpeg, front, frontArgs(source, kAmrCase, amrOutput), yardstick, frontEnv, rounds, m))
        printRow("3GP, AMR-NB (ffmpeg: aac instead)", m);
    std::filesystem::remove_all(folder);
    return 0;
}
