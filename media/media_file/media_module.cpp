#include "media/media_file/media_module.h"

#include "platform/application_folder.h"
#include "platform/loadable_module.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace zenvira::components::media_module {

namespace {

constexpr const char* kUnloaded = "FFmpeg's libraries could not be loaded: ";

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// Whether `folder` is `tree` or lies under it, whatever links either path goes through.
bool inside(const std::string& folder, const std::string& tree) {
    if (folder.empty() || tree.empty()) return false;
    std::error_code ec;
    const auto real = std::filesystem::weakly_canonical(folder, ec);
    const auto realTree = std::filesystem::weakly_canonical(tree, ec);
    if (ec) return false;
    const auto [treeEnd, folderAt] = std::mismatch(realTree.begin(), realTree.end(), real.begin(), real.end());
    return treeEnd == realTree.end();
}

}  // namespace

const Functions* load(const std::vector<std::string>& candidates, std::string& error) {
    if (candidates.empty()) {
        error = std::string(kUnloaded) + "no place to look for " + ZENVIRA_MEDIA_MODULE_NAME;
        return nullptr;
    }
    std::string chosen = candidates.front();
    for (const auto& candidate : candidates)
        if (exists(candidate)) {
            chosen = candidate;
            break;
        }
    const auto module = platform::loadModule(chosen);
    if (!module.handle) {
        error = kUnloaded + module.error;
        return nullptr;
    }
    const auto entry = reinterpret_cast<Entry>(platform::moduleFunction(module, kEntryName));
    if (!entry) {
        error = kUnloaded + chosen + " is not Zenvira's media module";
        return nullptr;
    }
    const Functions* functions = entry();
    if (!functions || functions->version != kVersion || functions->factsSize != sizeof(MediaFacts) ||
        functions->joinResultSize != sizeof(JoinResult) || !functions->probe || !functions->join) {
        error = kUnloaded + chosen + " comes from another build of Zenvira";
        return nullptr;
    }
    return functions;
}

std::vector<std::string> candidates() {
    if (const char* chosen = std::getenv("ZENVIRA_MEDIA_MODULE"); chosen && *chosen) return {chosen};
    std::vector<std::string> places{platform::pathInApplicationFolder(ZENVIRA_MEDIA_MODULE_NAME)};
    // Never for an installed program: a build folder on another machine is anybody's path.
    if (inside(platform::applicationFolder(), ZENVIRA_BUILD_TREE)) places.emplace_back(ZENVIRA_MEDIA_MODULE_IN_BUILD);
    return places;
}

const Functions* loaded(std::string& error) {
    static std::once_flag once;
    static const Functions* functions = nullptr;
    static std::string failure;
    std::call_once(once, [] { functions = load(candidates(), failure); });
    error = failure;
    return functions;
}

}  // namespace zenvira::components::media_module
