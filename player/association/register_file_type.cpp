#include "player/association/register_file_type.h"

#include <filesystem>
#include <system_error>

#include "platform/file_association.h"
#include "player/association/registry_steps.h"
#include "player/association/text_file.h"
#include "player/association/xdg_entries.h"

namespace zenvira::player {

namespace {

using Steps = std::vector<AssociationStepResult>;

void record(Steps& steps, std::string step, bool done, std::string error) {
    steps.push_back({std::move(step), done, done ? std::string() : std::move(error)});
}

Steps writeRegistry(const std::string& ext, const std::string& progid, const std::string& exe) {
    Steps steps;
    for (const RegistryStep& step : registrySteps(ext, progid, exe)) {
        std::string error;
        const bool done = step.kind == RegistryStep::Kind::Write ? platform::registryWrite(step.path, step.value, error)
                                                                 : platform::registryDelete(step.path, error);
        record(steps, (step.kind == RegistryStep::Kind::Write ? "write " : "delete ") + step.path, done, error);
    }
    return steps;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
}

// Writes one file of the association; false when skipped. `changed` says whether it wrote.
bool writeStep(Steps& steps, const std::string& what, const std::string& folder, const std::string& path,
               const std::string& text, bool& changed) {
    changed = false;
    std::string error = "no folder for it (neither the XDG variable nor HOME is set)";
    const bool done = !folder.empty() && writeTextFile(path, text, changed, error);
    record(steps, what + " " + path, done, error);
    return done;
}

// A database is rebuilt when its source changed, or when it was never built.
void refreshStep(Steps& steps, const std::string& what, const std::string& folder, bool sourceChanged,
                 const std::string& cacheFile, bool (*refresh)(const std::string&, std::string&)) {
    std::string error = "no folder for it";
    bool done = !folder.empty();
    if (done && (sourceChanged || !fileExists(cacheFile))) done = refresh(folder, error);
    record(steps, what + " " + folder, done, error);
}

void setDefaultStep(Steps& steps, const std::string& configHome, const std::string& mimeType,
                    const std::string& desktopFile) {
    const std::string path = configHome + "/mimeapps.list";
    std::string error = "no folder for it (neither XDG_CONFIG_HOME nor HOME is set)";
    bool done = false;
    if (!configHome.empty()) {
        std::string current;
        // An unreadable list is left alone rather than rewritten without the user's entries.
        const TextFileRead read = readTextFile(path, current, error);
        bool changed = false;
        done = read != TextFileRead::Failed &&
               writeTextFile(path, mimeappsWithDefault(current, mimeType, desktopFile), changed, error);
    }
    record(steps, "default for " + mimeType + " in " + path, done, error);
}

Steps writeXdg(const std::string& ext, const std::string& progid, const std::string& exe) {
    Steps steps;
    const platform::XdgFolders folders = platform::xdgFolders();
    const std::string& data = folders.dataHome;
    const std::string id = desktopIdForProgram(exe);
    const std::string mimeType = mimeTypeForExtension(ext, progid);
    const std::string applications = data + "/applications";
    const std::string mime = data + "/mime";
    const std::string iconPath = data + "/icons/hicolor/scalable/apps/" + id + ".svg";
    const std::string extName = ext.size() > 1 && ext.front() == '.' ? ext.substr(1) : ext;

    bool entryChanged = false;
    bool packageChanged = false;
    bool iconChanged = false;
    writeStep(steps, "desktop entry", data, applications + "/" + id + ".desktop",
              desktopEntryText(exe, iconPath, mimeType), entryChanged);
    writeStep(steps, "icon", data, iconPath, std::string(programIconSvg()), iconChanged);
    writeStep(steps, "MIME type of *" + ext, data, mime + "/packages/" + id + "-" + extName + ".xml",
              mimePackageText(ext, mimeType), packageChanged);
    refreshStep(steps, "MIME database", data.empty() ? data : mime, packageChanged, mime + "/mime.cache",
                platform::refreshMimeDatabase);
    refreshStep(steps, "desktop database", data.empty() ? data : applications, entryChanged,
                applications + "/mimeinfo.cache", platform::refreshDesktopDatabase);
    setDefaultStep(steps, folders.configHome, mimeType, id + ".desktop");
    return steps;
}

}  // namespace

std::vector<AssociationStepResult> RegisterFileType(const std::string& ext, const std::string& progid,
                                                    const std::string& exe) {
    return platform::associationStore() == platform::AssociationStore::Registry ? writeRegistry(ext, progid, exe)
                                                                                : writeXdg(ext, progid, exe);
}

}  // namespace zenvira::player
