#pragma once
// zenvira-cli's command line, read with Qt's QCommandLineParser: a command, its operands and
// options in any order, --help/-h and --version for the program and each command.
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zenvira::cli {

enum class Command { None, Resolve, Download, Batch, Profiles, Convert, NativeHost };

struct CliRequest {
    Command command = Command::None;
    std::vector<std::string> operands;  // ADDRESS; FILE or "-"; FILE PROFILE
    std::optional<int> quality;         // a frame height of the quality table
    bool audioOnly = false;             // --audio-only
    std::vector<std::string> subtitles;  // --subtitles: languages, or "all"
    std::optional<std::string> output;  // -o as given
    std::optional<int> connections;     // 1..16
    std::optional<std::int64_t> limitRate;  // bytes a second over all connections
    bool quiet = false;
    bool json = false;
    bool print = false;
    bool serve = false;                 // --serve, or --player
    std::vector<std::string> player;    // --player CMD split into words; empty: none
    std::optional<std::string> queue;  // --queue FILE
};

struct ParsedCommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, UsageError };
    Action action = Action::UsageError;
    CliRequest request;
    std::string text;  // the help or version text (stdout), or one line saying what is wrong (stderr)
};

// `arguments` as QCoreApplication::arguments() gives them, the program's name first.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// "500K", "2M", "1.5m", "100000": bytes a second (K = 1024, M = 1048576, G = 1073741824); none
// when the text is no positive rate.
std::optional<std::int64_t> parseRate(const std::string& text);

// Where -o sends a download: a folder (made absolute against `currentFolder`), or, when its
// last name has an extension and a file is allowed, that file in its folder.
struct OutputTarget {
    std::string folder;    // absolute
    std::string fileName;  // empty: the name the page gives
};
OutputTarget outputTarget(const std::string& output, const std::string& currentFolder, bool fileAllowed);

}  // namespace zenvira::cli
