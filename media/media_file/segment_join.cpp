#include "media/media_file/segment_join.h"

#include "media/media_file/media_module.h"

#include <algorithm>
#include <initializer_list>

namespace zenvira::components {

JoinResult joinIntoMp4(const std::vector<std::string>& pieces, const std::string& output,
                       const JoinCancelled& cancelled) {
    if (cancelled && cancelled()) return {false, kJoinStoppedText, 0, true};
    std::string error;
    const auto* module = media_module::loaded(error);
    if (!module) return {false, error};
    return module->join(pieces, output, cancelled);
}

JoinResult joinTracks(const std::vector<std::vector<std::string>>& tracks, const std::string& output,
                      const std::string& container, const JoinCancelled& cancelled) {
    if (cancelled && cancelled()) return {false, kJoinStoppedText, 0, true};
    std::string error;
    const auto* module = media_module::loaded(error);
    if (!module) return {false, error};
    return module->joinTracks(tracks, output, container, cancelled);
}

namespace {

// Each codec named in a list such as "avc1.64001f,mp4a.40.2", by its family.
std::vector<std::string> familiesOf(const std::vector<std::string>& lists) {
    std::vector<std::string> families;
    for (const auto& list : lists) {
        std::size_t at = 0;
        while (at <= list.size()) {
            const auto comma = list.find(',', at);
            std::string one = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            while (!one.empty() && one.front() == ' ') one.erase(0, 1);
            one = one.substr(0, one.find('.'));
            for (auto& c : one)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (!one.empty()) families.push_back(one);
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
    }
    return families;
}

bool oneOf(const std::string& family, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (family == name) return true;
    return false;
}

}  // namespace

std::string containerForCodecs(const std::vector<std::string>& codecs) {
    const auto families = familiesOf(codecs);
    const bool allWebm = !families.empty() && std::all_of(families.begin(), families.end(), [](const std::string& f) {
        return oneOf(f, {"vp8", "vp9", "vp09", "vp08", "av01", "opus", "vorbis"});
    });
    if (allWebm) return "webm";
    const bool allMp4 = std::all_of(families.begin(), families.end(), [](const std::string& f) {
        return oneOf(f, {"avc1", "avc3", "hvc1", "hev1", "av01", "vp09", "mp4a", "opus", "flac", "ac-3", "ec-3", "mp3",
                         "alac", "stpp", "wvtt"});
    });
    return allMp4 ? "mp4" : "mkv";
}

}  // namespace zenvira::components
