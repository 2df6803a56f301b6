#include "app/cli/resolve_command.h"

#include <iostream>

#include "app/button_map.h"
#include "app/cli/json_writer.h"
#include "app/cli/printable_text.h"
#include "app/page_reader.h"

namespace zenvira::cli {

namespace {

std::string streamJson(const resolve::Stream& stream) {
    return JsonObject()
        .add("address", jsonString(stream.address))
        .add("height", std::to_string(stream.height))
        .add("container", jsonString(stream.container))
        .add("kind", jsonString(resolve::kindName(stream.kind)))
        .add("type", jsonString(resolve::typeName(stream.type)))
        .add("codecs", jsonString(stream.codecs))
        .add("bandwidth", std::to_string(stream.bandwidth))
        .add("language", jsonString(stream.language))
        .add("audio", jsonOptional(stream.audioAddress.empty() ? std::nullopt : std::optional(stream.audioAddress)))
        .str();
}

}  // namespace

std::string resolutionJson(const resolve::Resolution& resolution) {
    const auto buttons = app::buttonMapOf(resolution.streams);
    const auto best = resolution.best ? std::optional<std::string>(resolution.best->address) : std::nullopt;
    std::string streamList = "[";
    for (const auto& stream : resolution.streams) streamList += (streamList.size() > 1 ? "," : "") + streamJson(stream);
    streamList += "]";
    return JsonObject()
        .add("resolver", jsonString(resolution.resolver))
        .add("videoTitle", jsonString(resolution.videoTitle))
        .add("List1", jsonArray(resolution.List1))
        .add("List2", jsonArray(resolution.List2))
        .add("List4", jsonArray(buttons.List4))
        .add("enabled", jsonArray(std::vector<bool>(buttons.enabled.begin(), buttons.enabled.end())))
        .add("best", jsonOptional(best))
        .add("streams", streamList)
        .str();
}

std::string resolutionJson(const std::string& pageText) {
    components::FetchResult page;
    page.ok = true;
    page.text = pageText;
    const auto nothing = [](const std::string&) { return components::FetchResult{}; };
    return resolutionJson(resolve::resolveFetchedPage("http://localhost/", page, nothing));
}

int runResolve(const std::string& address) {
    const auto reader = app::realPageReader();
    const auto fetch = [&reader](const std::string& more) { return reader(more, nullptr); };
    const auto page = fetch(address);
    if (!page.ok) {
        std::cerr << printableLine("Could not read " + address + ": " + page.error) << "\n";
        return 1;
    }
    std::cout << resolutionJson(resolve::resolveFetchedPage(address, page, fetch)) << std::endl;
    return 0;
}

}  // namespace zenvira::cli
