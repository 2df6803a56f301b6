#include "platform/browser.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace zenvira::platform {

namespace {

// One command of $BROWSER split at blanks; "%s" becomes the address, else it goes last.
std::vector<std::string> browserArguments(const std::string& command, const std::string& address) {
    std::vector<std::string> words;
    std::istringstream in(command);
    bool addressPlaced = false;
    for (std::string word; in >> word;) {
        if (const auto at = word.find("%s"); at != std::string::npos) {
            word.replace(at, 2, address);
            addressPlaced = true;
        }
        words.push_back(word);
    }
    if (!words.empty() && !addressPlaced) words.push_back(address);
    return words;
}

std::vector<std::vector<std::string>> candidateCommands(const std::string& address) {
    std::vector<std::vector<std::string>> commands;
    if (const char* browser = std::getenv("BROWSER"); browser && *browser) {
        std::istringstream list(browser);
        for (std::string command; std::getline(list, command, ':');)
            if (auto words = browserArguments(command, address); !words.empty()) commands.push_back(std::move(words));
    }
    commands.push_back({"xdg-open", address});
    return commands;
}

// Starts the program and reaps it in the background, so no zombie is left behind.
int spawnDetached(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int result = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (result != 0) return result;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return 0;
}

}  // namespace

BrowserLaunch openInBrowser(const std::string& address) {
    std::string reasons;
    for (const auto& words : candidateCommands(address)) {
        const int result = spawnDetached(words);
        if (result == 0) return {true, {}};
        reasons += (reasons.empty() ? "" : "; ") + words[0] + ": " + std::strerror(result);
    }
    return {false, "Cannot start a web browser (" + reasons + ")"};
}

}  // namespace zenvira::platform
