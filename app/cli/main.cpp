// zenvira-cli: the headless front of Zenvira.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/resolve_command.h"

namespace {

int usage() {
    std::cerr << "usage: zenvira-cli resolve ADDRESS\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "resolve") return zenvira::cli::runResolve(args[1]);
    return usage();
}
