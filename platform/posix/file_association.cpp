#include "platform/file_association.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace zenvira::platform {

namespace {

std::string absoluteFolderFromEnvironment(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    std::string folder;
    if (value && value[0] == '/') {
        folder = value;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        folder = std::string(home) + underHome;
    }
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// Runs a database tool with its output thrown away and waits for it: these tools take a
// fraction of a second on a user's own folder.
bool runTool(const std::vector<std::string>& words, std::string& error) {
    std::vector<char*> argv;
    for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        error = words[0] + ": " + std::strerror(started);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = words[0] + ": " + std::strerror(errno);
            return false;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = words[0] + (WIFEXITED(status) ? ": exit code " + std::to_string(WEXITSTATUS(status))
                                          : std::string(": ended by a signal"));
    return false;
}

}  // namespace

AssociationStore associationStore() { return AssociationStore::Xdg; }

bool registryWrite(const std::string&, const std::string&, std::string& error) {
    error = "This system has no registry";
    return false;
}

bool registryDelete(const std::string&, std::string& error) {
    error = "This system has no registry";
    return false;
}

XdgFolders xdgFolders() {
    return {absoluteFolderFromEnvironment("XDG_DATA_HOME", "/.local/share"),
            absoluteFolderFromEnvironment("XDG_CONFIG_HOME", "/.config")};
}

bool refreshMimeDatabase(const std::string& mimeFolder, std::string& error) {
    return runTool({"update-mime-database", mimeFolder}, error);
}

bool refreshDesktopDatabase(const std::string& applicationsFolder, std::string& error) {
    return runTool({"update-desktop-database", applicationsFolder}, error);
}

}  // namespace zenvira::platform
