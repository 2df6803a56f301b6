#include "app/cli/command_line.h"

#include <QCommandLineParser>

#include <cmath>
#include <filesystem>

#include "app/cli/shell_quote.h"
#include "base/product_site.h"
#include "base/quality.h"

namespace zenvira::cli {

namespace {

constexpr int kMostConnections = 16;

struct CommandInfo {
    Command command;
    const char* name;
    const char* operands;     // as the usage line shows them
    const char* description;  // one line
    std::size_t operandCount;
};

constexpr CommandInfo kCommands[] = {
    {Command::Resolve, "resolve", "ADDRESS", "Print what a watch page offers, as one JSON object.", 1},
    {Command::Download, "download", "ADDRESS", "Save the video of a watch page (its best quality unless --quality).", 1},
    {Command::Batch, "batch", "FILE|-", "Save the best quality of every address in FILE (- reads standard input).", 1},
    {Command::Profiles, "profiles", "", "List the conversion profiles.", 0},
    {Command::Convert, "convert", "FILE PROFILE", "Convert FILE with a profile, or --print the encoder's command line.", 2},
    // The browser names its caller after the command: the extension's origin, or Firefox's
    // manifest and extension id. They are taken and not used.
    {Command::NativeHost, "native-host", "", "Take addresses from the Zenvira browser extension (native messaging).", 0},
};

// The most operands the browser adds to native-host.
constexpr std::size_t kMostBrowserOperands = 2;

const CommandInfo* findCommand(const QString& name) {
    for (const auto& info : kCommands)
        if (name == QLatin1String(info.name)) return &info;
    return nullptr;
}

QString programName() { return QStringLiteral("zenvira-cli"); }

struct Options {
    QCommandLineOption help{{"h", "help"}, "Show this help and end."};
    QCommandLineOption version{"version", "Show the version and end."};
    QCommandLineOption output{{"o", "output"},
                              "Save into FOLDER (made when missing), or, for download, as FILE when its name has an extension.",
                              "PATH"};
    QCommandLineOption quality{"quality", QString::fromStdString("The quality to save: " + base::qualityHeightsText() + "."),
                               "HEIGHT"};
    QCommandLineOption connections{"connections",
                                   "Connections a download starts with (1 to 16); more are added while they raise the rate.",
                                   "N"};
    QCommandLineOption limitRate{"limit-rate", "At most RATE bytes a second over all connections (K, M suffixes).", "RATE"};
    QCommandLineOption audioOnly{"audio-only", "Save the best sound alone, when the page offers sound apart."};
    QCommandLineOption subtitles{
        "subtitles", "Save the page's subtitles in these languages (en,de) or all, as NAME.LANG.vtt.", "LANGS"};
    QCommandLineOption quiet{{"q", "quiet"}, "No progress, no messages but errors."};
    QCommandLineOption json{"json", "One JSON object per line on standard output: progress, saved, failed."};
    QCommandLineOption print{"print", "Print the encoder's command line instead of running it."};
    QCommandLineOption serve{"serve",
                             "Serve the download while it comes at a local address (printed before the first byte), "
                             "until it has ended and no request came for 5 s."};
    QCommandLineOption player{"player",
                              "Serve the download and run CMD with its address (words as a POSIX shell splits them, "
                              "no shell run); wait for CMD to end.",
                              "CMD"};
    QCommandLineOption queue{"queue", "The queue FILE (else $ZENVIRA_QUEUE, else the user's own).", "FILE"};
};

// The options a command takes (help and version are everyone's).
std::vector<const QCommandLineOption*> optionsOf(const Options& o, Command command) {
    switch (command) {
        case Command::Download:
            return {&o.output, &o.quality, &o.audioOnly, &o.subtitles, &o.connections, &o.limitRate, &o.quiet, &o.json,
                    &o.serve, &o.player};
        case Command::Batch: return {&o.output, &o.subtitles, &o.connections, &o.limitRate, &o.quiet, &o.json};
        case Command::Convert:
            return {&o.print};
        case Command::NativeHost:
            return {&o.queue};
        default:
            return {};
    }
}

ParsedCommandLine usageError(QString what, const QString& helpCommand) {
    if (what.endsWith(u'.')) what.chop(1);  // Qt's own messages end in a full stop
    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::UsageError;
    parsed.text = (programName() + ": " + what + " (see '" + helpCommand + " --help')").toStdString();
    return parsed;
}

ParsedCommandLine textResult(ParsedCommandLine::Action action, const QString& text) {
    ParsedCommandLine parsed;
    parsed.action = action;
    parsed.text = text.toStdString();
    return parsed;
}

QString versionText() {
    return programName() + " " + QString::number(base::appVersion, 'f', 1) + "\n";
}

QString programHelp(QCommandLineParser& parser) {
    QString text = "Usage: " + programName() + " COMMAND [OPTIONS] OPERANDS\n\n"
                   "Download videos from their watch pages and convert them.\n\nCommands:\n";
    for (const auto& info : kCommands)
        text += QStringLiteral("  %1%2\n      %3\n")
                    .arg(QLatin1String(info.name), *info.operands ? " " + QLatin1String(info.operands) : QString(),
                         QLatin1String(info.description));
    // Qt lays out the options; its first lines (usage, "Options:") are replaced by ours.
    const QString options = parser.helpText();
    const auto at = options.indexOf(QLatin1String("Options:"));
    text += "\n" + (at >= 0 ? options.mid(at) : options);
    text += "\n" + programName() + " COMMAND --help shows a command's options.\n"
            "Exit status: 0 all saved, 1 something failed, 2 a wrong command line.\n";
    return text;
}

QString commandHelp(QCommandLineParser& parser, const CommandInfo& info) {
    const QString options = parser.helpText();
    const auto at = options.indexOf(QLatin1String("Options:"));
    QString text = QStringLiteral("Usage: %1 %2 [OPTIONS] %3\n\n%4\n\n")
                       .arg(programName(), QLatin1String(info.name), QLatin1String(info.operands),
                            QLatin1String(info.description));
    return text + (at >= 0 ? options.mid(at) : options);
}

}  // namespace

std::optional<std::int64_t> parseRate(const std::string& text) {
    if (text.empty()) return std::nullopt;
    double factor = 1;
    std::string number = text;
    switch (number.back()) {
        case 'k': case 'K': factor = 1024; number.pop_back(); break;
        case 'm': case 'M': factor = 1024 * 1024; number.pop_back(); break;
        case 'g': case 'G': factor = 1024.0 * 1024 * 1024; number.pop_back(); break;
        default: break;
    }
    if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
    bool ok = false;
    const double value = QString::fromStdString(number).toDouble(&ok) * factor;
    if (!ok || !(value >= 1) || value > 1e15) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(value));
}

OutputTarget outputTarget(const std::string& output, const std::string& currentFolder, bool fileAllowed) {
    namespace fs = std::filesystem;
    fs::path path = fs::path(output);
    if (path.is_relative()) path = fs::path(currentFolder) / path;
    path = path.lexically_normal();
    const bool namesFolder = output.empty() || output.back() == '/' || fs::is_directory(path);
    if (fileAllowed && !namesFolder && path.has_filename() && path.filename().has_extension() &&
        path.filename().string().front() != '.') {
        return {path.parent_path().string(), path.filename().string()};
    }
    std::string folder = path.string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return {folder, {}};
}

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
    const Options o;
    // First the command: every option is known here, so an option's value is never taken for
    // the command, wherever the options stand.
    QCommandLineParser finder;
    finder.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    finder.addOptions({o.help, o.version, o.output, o.quality, o.audioOnly, o.subtitles, o.connections, o.limitRate,
                       o.quiet, o.json, o.print, o.serve, o.player, o.queue});
    const bool understood = finder.parse(arguments);
    const QStringList words = finder.positionalArguments();
    const CommandInfo* info = words.isEmpty() ? nullptr : findCommand(words.first());

    if (!info) {
        QCommandLineParser program;
        program.addOptions({o.help, o.version});
        const bool programUnderstood = program.parse(arguments);
        if (!words.isEmpty()) return usageError("unknown command '" + words.first() + "'", programName());
        if (!programUnderstood) return usageError(program.errorText(), programName());
        if (program.isSet(o.help)) return textResult(ParsedCommandLine::Action::ShowHelp, programHelp(program));
        if (program.isSet(o.version)) return textResult(ParsedCommandLine::Action::ShowVersion, versionText());
        if (!understood) return usageError(finder.errorText(), programName());
        return usageError("a command is needed: resolve, download, batch, profiles or convert", programName());
    }

    // Then the command's own options: any other is an error.
    const QString helpCommand = programName() + " " + QLatin1String(info->name);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions({o.help, o.version});
    for (const auto* option : optionsOf(o, info->command)) parser.addOption(*option);
    if (!parser.parse(arguments)) return usageError(parser.errorText(), helpCommand);
    if (parser.isSet(o.help)) return textResult(ParsedCommandLine::Action::ShowHelp, commandHelp(parser, *info));
    if (parser.isSet(o.version)) return textResult(ParsedCommandLine::Action::ShowVersion, versionText());

    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::Run;
    CliRequest& request = parsed.request;
    request.command = info->command;
    const QStringList operands = parser.positionalArguments().mid(1);
    const auto operandCount = static_cast<std::size_t>(operands.size());
    const bool browserOperands = info->command == Command::NativeHost && operandCount <= kMostBrowserOperands;
    if (operandCount != info->operandCount && !browserOperands)
        return usageError(QStringLiteral("%1 takes %2").arg(QLatin1String(info->name),
                                                             *info->operands ? QLatin1String(info->operands)
                                                                             : QLatin1String("no operand")),
                          helpCommand);
    if (!browserOperands)
        for (const auto& operand : operands) request.operands.push_back(operand.toStdString());

    const auto has = [&](const QCommandLineOption& option) {
        const auto known = optionsOf(o, info->command);
        return std::find(known.begin(), known.end(), &option) != known.end() && parser.isSet(option);
    };
    if (has(o.quality)) {
        bool ok = false;
        const int height = parser.value(o.quality).toInt(&ok);
        if (!ok || !base::qualityIndexOfHeight(height))
            return usageError("--quality takes " + QString::fromStdString(base::qualityHeightsText()) + ", not '" +
                                  parser.value(o.quality) + "'",
                              helpCommand);
        request.quality = height;
    }
    if (has(o.audioOnly)) {
        if (request.quality) return usageError("--audio-only and --quality cannot go together", helpCommand);
        request.audioOnly = true;
    }
    if (has(o.subtitles)) {
        for (const QString& language : parser.value(o.subtitles).split(u',', Qt::SkipEmptyParts))
            request.subtitles.push_back(language.trimmed().toStdString());
        if (request.subtitles.empty()) return usageError("--subtitles takes languages (en,de) or all", helpCommand);
    }
    if (has(o.connections)) {
        bool ok = false;
        const int count = parser.value(o.connections).toInt(&ok);
        if (!ok || count < 1 || count > kMostConnections)
            return usageError("--connections takes 1 to 16, not '" + parser.value(o.connections) + "'", helpCommand);
        request.connections = count;
    }
    if (has(o.limitRate)) {
        const auto rate = parseRate(parser.value(o.limitRate).toStdString());
        if (!rate) return usageError("--limit-rate takes a rate such as 500K or 2M, not '" + parser.value(o.limitRate) + "'", helpCommand);
        request.limitRate = rate;
    }
    if (has(o.output)) {
        if (parser.value(o.output).isEmpty()) return usageError("-o takes a folder or a file name", helpCommand);
        request.output = parser.value(o.output).toStdString();
    }
    if (has(o.player)) {
        auto words = splitPosixShellWords(parser.value(o.player).toStdString());
        if (!words || words->empty())
            return usageError("--player takes a command, not '" + parser.value(o.player) + "'", helpCommand);
        request.player = std::move(*words);
    }
    request.serve = has(o.serve) || has(o.player);
    request.quiet = has(o.quiet);
    request.json = has(o.json);
    request.print = has(o.print);
    if (has(o.queue)) {
        if (parser.value(o.queue).isEmpty()) return usageError("--queue takes a file", helpCommand);
        request.queue = parser.value(o.queue).toStdString();
    }
    return parsed;
}

}  // namespace zenvira::cli
