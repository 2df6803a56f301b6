#include "app/cli/resolve_command.h"

#include <iostream>

#include "app/button_map.h"
#include "app/cli/json_writer.h"
#include "app/page_reader.h"
#include "base/quality.h"

namespace zenvira::cli {

namespace {

std::string streamJson(const resolve::Stream& stream) {
    return JsonObject()
        .add("address", jsonString(stream.address))
        .add("height", std::to_string(stream.height))
        .add("container", jsonString(stream.container))
        .add("kind", jsonString(resolve::kindName(stream.kind)))
        .str();
}

// A watch page's streams are the addresses on its buttons, at the buttons' heights.
std::vector<resolve::Stream> watchPageStreams(const std::vector<std::string>& List4) {
    std::vector<resolve::Stream> streams;
    for (std::size_t k = 0; k < List4.size() && k < base::kQualities.size(); ++k)
        if (const auto address = base::offeredEntry(List4[k]))
            streams.push_back({*address, base::kQualities[k].height, "flv", resolve::StreamKind::Progressive, ""});
    return streams;
}

}  // namespace

std::string resolutionJson(const resolve::Resolution& resolution) {
    const bool generic = resolution.resolver == "generic";
    const auto buttons = generic ? app::mapButtonStreams(resolution.buttons) : app::mapStreamsToButtons(resolution.List2);
    std::optional<std::string> best = resolution.bestAddress;
    if (generic)
        for (const auto& stream : resolution.buttons)
            if (stream && !best) best = stream->address;
    const auto streams = generic ? resolution.streams : watchPageStreams(buttons.List4);
    std::string streamList = "[";
    for (const auto& stream : streams) streamList += (streamList.size() > 1 ? "," : "") + streamJson(stream);
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
        std::cerr << "Could not read " << address << ": " << page.error << "\n";
        return 1;
    }
    std::cout << resolutionJson(resolve::resolveFetchedPage(address, page, fetch)) << std::endl;
    return 0;
}

}  // namespace zenvira::cli
