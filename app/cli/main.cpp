// zenvira-cli: the headless front of Zenvira.
#include <QCoreApplication>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/command_line.h"
#include "app/cli/convert_command.h"
#include "app/cli/download_command.h"
#include "app/cli/queue_command.h"
#include "app/cli/native_host.h"
#include "app/cli/resolve_command.h"
#include "platform/relayed_child.h"

namespace {

using zenvira::cli::Command;
using zenvira::cli::CliRequest;

int run(const CliRequest& request) {
    const auto& operands = request.operands;
    switch (request.command) {
        case Command::Resolve:
            return zenvira::cli::runResolve(operands[0]);
        case Command::Profiles:
            return zenvira::cli::runProfiles();
        case Command::Convert: {
            std::vector<std::string> words;
            if (request.print) words.push_back("--print");
            words.insert(words.end(), operands.begin(), operands.end());
            return zenvira::cli::runConvert(words);
        }
        case Command::Download:
        case Command::Batch: {
            zenvira::cli::DownloadOptions options;
            options.quality = request.quality;
            options.audioOnly = request.audioOnly;
            options.subtitles = request.subtitles;
            options.output = request.output;
            options.connections = request.connections;
            options.limitRate = request.limitRate;
            options.quiet = request.quiet;
            options.json = request.json;
            options.serve = request.serve;
            options.player = request.player;
            return request.command == Command::Download ? zenvira::cli::runDownload(operands[0], options)
                                                        : zenvira::cli::runBatch(operands[0], options);
        }
        case Command::NativeHost:
            return zenvira::cli::runNativeHost(request.queue);
        case Command::None:
            break;
    }
    return 2;
}

// Started by a browser under the name its host manifest gives (a link to zenvira-cli), the
// program is the native host: the browser passes only its own caller's names.
QStringList argumentsAsCommand(int argc, char** argv) {
    QStringList arguments = QCoreApplication::arguments();
    const std::string called = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : std::string();
    if (called == "zenvira-native-host") arguments.insert(1, QStringLiteral("native-host"));
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    // A player run with --player starts through this mode, so it ends with us.
    if (argc > 1 && std::strcmp(argv[1], zenvira::platform::relay::kLauncherFlag) == 0)
        return zenvira::platform::relay::runLauncher(argc, argv);
    QCoreApplication application(argc, argv);
    if (zenvira::cli::isQueueCommand(QCoreApplication::arguments()))
        return zenvira::cli::runQueue(QCoreApplication::arguments());
    const auto parsed = zenvira::cli::parseCommandLine(argumentsAsCommand(argc, argv));
    switch (parsed.action) {
        case zenvira::cli::ParsedCommandLine::Action::ShowHelp:
        case zenvira::cli::ParsedCommandLine::Action::ShowVersion:
            std::cout << parsed.text;
            return 0;
        case zenvira::cli::ParsedCommandLine::Action::UsageError:
            std::cerr << parsed.text << "\n";
            return 2;
        case zenvira::cli::ParsedCommandLine::Action::Run:
            break;
    }
    return run(parsed.request);
}
