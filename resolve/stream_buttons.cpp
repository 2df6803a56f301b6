#include "resolve/stream_buttons.h"

#include <algorithm>

#include "resolve/generic/stream_height.h"

namespace zenvira::resolve {

ButtonStreams streamsOnButtons(const std::vector<Stream>& streams) {
    ButtonStreams buttons;
    for (const auto& stream : streams) {
        if (stream.type == StreamType::Audio) continue;
        auto& slot = buttons[static_cast<std::size_t>(buttonOfHeight(stream.height))];
        if (!slot || stream.height > slot->height ||
            (stream.height == slot->height && stream.bandwidth > slot->bandwidth))
            slot = stream;
    }
    const auto sound = bestAudio(streams);
    for (auto& slot : buttons)
        if (slot && slot->type == StreamType::Video && slot->audioAddress.empty() && sound &&
            sound->kind == slot->kind) {
            slot->audioAddress = sound->address;
            slot->audioRepresentation = sound->representation;
        }
    return buttons;
}

std::optional<Stream> bestAudio(const std::vector<Stream>& streams) {
    std::optional<Stream> best;
    for (const auto& stream : streams) {
        if (stream.type != StreamType::Audio) continue;
        if (!best)
            best = stream;
        else if (stream.language == best->language && stream.bandwidth > best->bandwidth)
            best = stream;
    }
    return best;
}

std::vector<Stream> watchPageStreams(const std::vector<std::string>& List2) {
    // One button without an address per row the map falls short of six (the five buttons and
    // the tail piece); never more than the buttons.
    const int rows = static_cast<int>(List2.size());
    const int first = std::clamp(kButtons + 1 - rows, 0, kButtons);
    std::vector<Stream> streams;
    for (int button = first; button < kButtons; ++button) {
        const auto address = base::offeredEntry(List2[static_cast<std::size_t>(button - first)]);
        if (!address) continue;
        const int height = base::kQualities[static_cast<std::size_t>(button)].height;
        streams.push_back(makeStream(*address, height, "flv", StreamKind::Progressive));
    }
    return streams;
}

}  // namespace zenvira::resolve
