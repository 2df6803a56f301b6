#include "player/association/registry_steps.h"

namespace zenvira::player {

namespace {
const std::string kExplorerFileExts = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::string kClassDescription = "QV file";

RegistryStep write(std::string path, std::string value) {
    return {RegistryStep::Kind::Write, std::move(path), std::move(value)};
}
RegistryStep remove(std::string path) { return {RegistryStep::Kind::Delete, std::move(path), {}}; }
}  // namespace

std::vector<RegistryStep> registrySteps(const std::string& ext, const std::string& progid, const std::string& exe) {
    const std::string perUser = kExplorerFileExts + ext;
    // The open command is left unquoted: the player reads its whole argument text as one path.
    return {
        write("HKCR\\" + ext + "\\", progid),
        write("HKCR\\" + progid + "\\", kClassDescription),
        write("HKCR\\" + progid + "\\DefaultIcon\\", exe),
        write("HKCR\\" + progid + "\\shell\\open\\command\\", exe + " %L"),
        remove(perUser + "\\Application"),
        write(perUser + "\\Application", exe),
        remove(perUser + "\\OpenWithList\\"),
        write(perUser + "\\OpenWithList\\a", exe),
    };
}

}  // namespace zenvira::player
