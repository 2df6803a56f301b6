// zenvira-cli: the headless front of Zenvira.
#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/convert_command.h"
#include "app/cli/download_command.h"
#include "app/cli/resolve_command.h"

namespace {

int usage() {
    std::cerr << "usage: zenvira-cli resolve ADDRESS\n"
                 "       zenvira-cli download ADDRESS [--quality 1080|720|480|360|240] [-o FOLDER]\n"
                 "       zenvira-cli batch FILE [-o FOLDER]   (one watch-page address per line)\n"
                 "       zenvira-cli convert [--print] FILE PROFILE\n"
                 "       zenvira-cli profiles\n";
    return 2;
}

// Reads --quality and -o after the command's one argument; false on anything else.
bool parseOptions(const std::vector<std::string>& args, zenvira::cli::DownloadOptions& options) {
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return false;
        if (args[i] == "-o") {
            options.folder = args[i + 1];
        } else if (args[i] == "--quality") {
            try {
                options.quality = std::stoi(args[i + 1]);
            } catch (const std::exception&) {
                return false;
            }
            if (!zenvira::cli::qualityButtonOf(*options.quality)) return false;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "zenvira-cli 2.5\n";
        return 0;
    }
    if (args.size() == 2 && args[0] == "resolve") return zenvira::cli::runResolve(args[1]);
    if (args.size() == 1 && args[0] == "profiles") return zenvira::cli::runProfiles();
    if (!args.empty() && args[0] == "convert") {
        QCoreApplication app(argc, argv);
        return zenvira::cli::runConvert({args.begin() + 1, args.end()});
    }
    zenvira::cli::DownloadOptions options;
    if (args.size() < 2 || !parseOptions(args, options)) return usage();
    QCoreApplication app(argc, argv);
    if (args[0] == "download") return zenvira::cli::runDownload(args[1], options);
    if (args[0] == "batch") return zenvira::cli::runBatch(args[1], options);
    return usage();
}
