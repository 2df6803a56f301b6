#pragma once
// The registry writes that make a program the opener of a file extension on Windows: the
// class under HKCR for every user, and the shell's per-user choice under the Explorer's
// FileExts key. Pure: the platform's registry writer carries the steps out.
#include <string>
#include <vector>

namespace zenvira::player {

struct RegistryStep {
    enum class Kind { Write, Delete };
    Kind kind = Kind::Write;
    std::string path;   // a trailing "\" names a key's default value, else a value
    std::string value;  // written text; empty for Delete
    friend bool operator==(const RegistryStep&, const RegistryStep&) = default;
};

// The eight steps, in the order they run: the class and its icon and open command, then the
// per-user Application value and OpenWithList, each cleared before it is written again.
std::vector<RegistryStep> registrySteps(const std::string& ext, const std::string& progid, const std::string& exe);

}  // namespace zenvira::player
