#include "app/cli/resolve_command.h"

#include <iostream>

#include "app/button_map.h"
#include "app/cli/json_writer.h"
#include "app/page_reader.h"
#include "resolve/page_resolver.h"

namespace zenvira::cli {

std::string resolutionJson(const std::string& pageText) {
    const auto page = resolve::resolvePage(pageText);
    const auto buttons = app::mapStreamsToButtons(page.List2);
    const auto best = resolve::resolveBestAddress(pageText);
    return JsonObject()
        .add("videoTitle", jsonString(page.videoTitle))
        .add("List1", jsonArray(page.List1))
        .add("List2", jsonArray(page.List2))
        .add("List4", jsonArray(buttons.List4))
        .add("enabled", jsonArray(std::vector<bool>(buttons.enabled.begin(), buttons.enabled.end())))
        .add("best", jsonOptional(best.address))
        .str();
}

int runResolve(const std::string& address) {
    const auto page = app::realPageReader()(address, nullptr);
    if (!page.ok) {
        std::cerr << "Could not read " << address << ": " << page.error << "\n";
        return 1;
    }
    std::cout << resolutionJson(page.text) << std::endl;
    return 0;
}

}  // namespace zenvira::cli
