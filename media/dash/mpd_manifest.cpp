// readManifest: the walk over Periods, AdaptationSets and Representations with what each
// inherits, and the join of the periods track by track.
#include "media/dash/mpd_manifest.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/web_address/address_text.h"
#include "media/dash/mpd_limits.h"
#include "media/dash/mpd_values.h"
#include "media/dash/period_segments.h"
#include "media/dash/xml_tree.h"

namespace zenvira::components::dash {

namespace {

constexpr const char* kNotAManifest = "The address does not hold a DASH manifest";
constexpr const char* kLiveText = "This is a live stream; only complete recordings can be downloaded";
constexpr const char* kProtectedText =
    "The video is protected against copying (DRM); Zenvira does not break encryption";

std::string lowered(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

// Each BaseURL of the element joined to each of the bases above it (failover order kept).
std::vector<std::string> basesBelow(const std::vector<std::string>& above, const XmlElement& element) {
    const auto written = element.childrenNamed("BaseURL");
    if (written.empty()) return above;
    std::vector<std::string> out;
    for (const auto& base : above)
        for (const auto* url : written) {
            for (auto& joined : addressesOf({base}, cleanAddress(url->text)))
                if (std::find(out.begin(), out.end(), joined) == out.end() && out.size() < kMostAddressesPerPiece)
                    out.push_back(std::move(joined));
        }
    return out;
}

// An attribute of the representation, else of its AdaptationSet.
std::string attributeOf(const XmlElement& representation, const XmlElement& set, std::string_view name) {
    if (const auto* value = representation.attribute(name)) return *value;
    if (const auto* value = set.attribute(name)) return *value;
    return {};
}

int numberOf(const std::string& text) {
    const auto value = unsignedValue(text);
    return value && *value < 1'000'000 ? static_cast<int>(*value) : 0;
}

// "avc", "hevc", "vp9", "av1", "mp4a", "opus"...: codecs of one family join across periods.
std::string codecFamily(std::string_view codec) {
    std::string head = lowered(codec.substr(0, codec.find('.')));
    if (head == "avc1" || head == "avc3") return "avc";
    if (head == "hvc1" || head == "hev1") return "hevc";
    if (head == "vp09" || head == "vp9") return "vp9";
    if (head == "vp08" || head == "vp8") return "vp8";
    if (head == "av01") return "av1";
    return head;
}

bool isVideoCodec(const std::string& family) {
    return family == "avc" || family == "hevc" || family == "vp9" || family == "vp8" || family == "av1" ||
           family == "mp4v" || family == "dvh1" || family == "dvhe" || family == "theora";
}

bool isAudioCodec(const std::string& family) {
    return family == "mp4a" || family == "opus" || family == "vorbis" || family == "ac-3" || family == "ec-3" ||
           family == "flac" || family == "mp3" || family == "ac-4" || family == "alac" || family.starts_with("dts");
}

std::vector<std::string> codecList(const std::string& codecs) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at <= codecs.size()) {
        const auto comma = std::min(codecs.find(',', at), codecs.size());
        if (auto one = trimmed(std::string_view(codecs).substr(at, comma - at)); !one.empty()) out.push_back(one);
        at = comma + 1;
    }
    return out;
}

// What the representation holds; none for what is not downloaded (thumbnails, unknown kinds).
std::optional<TrackType> typeOf(const Representation& r, const XmlElement& set, const XmlElement& element) {
    bool video = false, audio = false, text = false;
    for (const auto& codec : codecList(r.codecs)) {
        const auto family = codecFamily(codec);
        video = video || isVideoCodec(family);
        audio = audio || isAudioCodec(family);
        text = text || family == "wvtt" || family == "stpp";
    }
    for (const auto* holder : {&set, &element})
        for (const auto* component : holder->childrenNamed("ContentComponent")) {
            const auto* type = component->attribute("contentType");
            video = video || (type && *type == "video");
            audio = audio || (type && *type == "audio");
        }
    if (video && audio) return TrackType::Muxed;
    const std::string mime = lowered(r.mimeType);
    const std::string content = lowered(attributeOf(element, set, "contentType"));
    if (text || mime == "text/vtt" || mime == "application/ttml+xml" || content == "text") return TrackType::Text;
    if (content == "image" || mime.starts_with("image/")) return std::nullopt;
    if (video || mime.starts_with("video/") || content == "video") return TrackType::Video;
    if (audio || mime.starts_with("audio/") || content == "audio") return TrackType::Audio;
    if (mime.empty() && content.empty()) return TrackType::Video;
    return std::nullopt;
}

bool isMainRole(const XmlElement& element) {
    for (const auto* role : element.childrenNamed("Role")) {
        const auto* scheme = role->attribute("schemeIdUri");
        const auto* value = role->attribute("value");
        if (scheme && *scheme == "urn:mpeg:dash:role:2011" && value && *value == "main") return true;
    }
    return false;
}

struct PeriodTiming {
    double start = 0;
    std::optional<double> seconds;
};

std::vector<PeriodTiming> timingsOf(const std::vector<const XmlElement*>& periods, std::optional<double> total) {
    std::vector<PeriodTiming> timings(periods.size());
    std::vector<std::optional<double>> starts(periods.size());
    for (std::size_t i = 0; i < periods.size(); ++i)
        if (const auto* start = periods[i]->attribute("start")) starts[i] = durationSeconds(*start);
    for (std::size_t i = 0; i < periods.size(); ++i) {
        if (starts[i])
            timings[i].start = *starts[i];
        else if (i > 0)
            timings[i].start = timings[i - 1].start + timings[i - 1].seconds.value_or(0);
        if (const auto* duration = periods[i]->attribute("duration"))
            timings[i].seconds = durationSeconds(*duration);
        else if (i + 1 < periods.size() && starts[i + 1])
            timings[i].seconds = *starts[i + 1] - timings[i].start;
        else if (i + 1 == periods.size() && total)
            timings[i].seconds = *total - timings[i].start;
        if (timings[i].seconds && *timings[i].seconds < 0) timings[i].seconds.reset();
    }
    return timings;
}

// One representation as one period has it.
struct PeriodTrack {
    Representation representation;  // its fields, and its fragments of this period
    Piece initialisation;
    std::string family;  // the codec family of its first codec
    bool used = false;
};

bool continues(const PeriodTrack& earlier, const PeriodTrack& later) {
    const auto& a = earlier.representation;
    const auto& b = later.representation;
    if (a.type != b.type || lowered(a.mimeType) != lowered(b.mimeType) || earlier.family != later.family) return false;
    if ((a.type == TrackType::Video || a.type == TrackType::Muxed) && a.height != b.height) return false;
    if ((a.type == TrackType::Audio || a.type == TrackType::Text) && a.language != b.language) return false;
    return true;
}

// Period after period, each track continued by the closest-bandwidth track of the same kind,
// codec family and height; a track that some period lacks cannot make a whole file and is left.
std::vector<Representation> joinPeriods(std::vector<std::vector<PeriodTrack>>& periods, std::size_t periodCount,
                                        std::string& error) {
    std::vector<Representation> chains;
    std::vector<std::vector<PeriodTrack*>> links;
    bool first = true;
    for (auto& tracks : periods) {
        if (tracks.empty()) continue;
        if (first) {
            for (auto& track : tracks) links.push_back({&track});
            first = false;
            continue;
        }
        for (auto& chain : links) {
            if (chain.empty()) continue;
            const PeriodTrack& last = *chain.back();
            PeriodTrack* best = nullptr;
            for (auto& candidate : tracks) {
                if (candidate.used || !continues(last, candidate)) continue;
                const auto distance = std::llabs(candidate.representation.bandwidth - last.representation.bandwidth);
                if (!best || distance < std::llabs(best->representation.bandwidth - last.representation.bandwidth))
                    best = &candidate;
            }
            if (best) {
                best->used = true;
                chain.push_back(best);
            } else {
                chain.clear();
            }
        }
    }
    const bool several = std::count_if(periods.begin(), periods.end(), [](const auto& t) { return !t.empty(); }) > 1;
    for (auto& chain : links) {
        if (chain.empty()) continue;
        Representation joined = chain.front()->representation;
        joined.fragments.clear();
        joined.seconds = 0;
        joined.initialisations.assign(periodCount, Piece{});
        bool joinable = true;
        for (auto* link : chain) {
            auto& part = link->representation;
            // A file cut by its own index is one period's; several of them are not joined.
            if (several && part.indexToRead) joinable = false;
            const int period = part.fragments.empty() ? -1 : part.fragments.front().period;
            if (period >= 0)
                joined.initialisations[period] = link->initialisation;
            else if (part.indexToRead && !part.initialisations.empty())
                joined.initialisations = part.initialisations;
            joined.fragments.insert(joined.fragments.end(), part.fragments.begin(), part.fragments.end());
            joined.seconds += part.seconds;
        }
        if (!joinable) continue;
        if (joined.fragments.size() > kMostFragmentsPerTrack) {
            error = "lists too many fragments";
            continue;
        }
        chains.push_back(std::move(joined));
    }
    if (chains.empty() && several && error.empty()) error = "has periods that share no track to join";
    return chains;
}

std::string sentence(const std::string& id, const std::string& problem) {
    return "The DASH manifest cannot be read: its representation \"" + id.substr(0, 64) + "\" " + problem;
}

}  // namespace

bool isManifestType(std::string_view contentType) {
    const std::string type = lowered(trimmed(contentType.substr(0, contentType.find(';'))));
    return type == "application/dash+xml" || type == "video/vnd.mpeg.dash.mpd";
}

bool looksLikeManifest(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    for (;;) {
        const auto first = text.find_first_not_of(" \t\r\n");
        if (first == std::string_view::npos) return false;
        text.remove_prefix(first);
        std::string_view close;
        if (text.starts_with("<?"))
            close = "?>";
        else if (text.starts_with("<!--"))
            close = "-->";
        else if (text.starts_with("<!DOCTYPE") && text.find('[') < text.find('>'))
            close = "]>";
        else if (text.starts_with("<!"))
            close = ">";
        else
            break;
        const auto end = text.find(close);
        if (end == std::string_view::npos) return false;
        text.remove_prefix(end + close.size());
    }
    if (!text.starts_with("<")) return false;
    text.remove_prefix(1);
    const auto nameEnd = std::min(text.find_first_of(" \t\r\n/>"), text.size());
    auto name = text.substr(0, nameEnd);
    if (const auto colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
    return name == "MPD" && nameEnd < text.size();
}

ReadResult readManifest(std::string_view text, const std::string& address) {
    ReadResult result;
    if (!looksLikeManifest(text)) {
        result.error = kNotAManifest;
        return result;
    }
    const auto xml = readXml(text);
    if (!xml.root || xml.root->name != "MPD") {
        result.error = xml.error.empty() ? kNotAManifest : "The DASH manifest " + xml.error;
        return result;
    }
    const XmlElement& mpd = *xml.root;
    if (const auto* type = mpd.attribute("type"); type && *type == "dynamic") {
        result.error = kLiveText;
        return result;
    }
    std::optional<double> total;
    if (const auto* duration = mpd.attribute("mediaPresentationDuration")) total = durationSeconds(*duration);

    const auto periods = mpd.childrenNamed("Period");
    if (periods.size() > kMostPeriods) {
        result.error = "The DASH manifest lists too many periods";
        return result;
    }
    const auto timings = timingsOf(periods, total);
    const auto mpdBases = basesBelow({address}, mpd);
    std::vector<std::vector<PeriodTrack>> tracks(periods.size());
    std::size_t representations = 0, fragments = 0;
    std::string firstError;
    bool protectedMedia = false;
    for (std::size_t p = 0; p < periods.size(); ++p) {
        const XmlElement& period = *periods[p];
        const auto periodBases = basesBelow(mpdBases, period);
        for (const auto* set : period.childrenNamed("AdaptationSet")) {
            const auto setBases = basesBelow(periodBases, *set);
            for (const auto* element : set->childrenNamed("Representation")) {
                if (++representations > kMostRepresentations) {
                    result.error = "The DASH manifest lists too many representations";
                    return result;
                }
                PeriodTrack track;
                Representation& r = track.representation;
                r.id = attributeOf(*element, XmlElement{}, "id");
                r.mimeType = attributeOf(*element, *set, "mimeType");
                r.codecs = attributeOf(*element, *set, "codecs");
                r.width = numberOf(attributeOf(*element, *set, "width"));
                r.height = numberOf(attributeOf(*element, *set, "height"));
                r.bandwidth = static_cast<std::int64_t>(
                    std::min<std::uint64_t>(unsignedValue(attributeOf(*element, XmlElement{}, "bandwidth")).value_or(0),
                                            std::uint64_t{1} << 53));
                r.language = attributeOf(*element, *set, "lang");
                r.isMain = isMainRole(*set) || isMainRole(*element);
                const auto type = typeOf(r, *set, *element);
                if (!type) continue;
                r.type = *type;
                const auto codecs = codecList(r.codecs);
                track.family = codecs.empty() ? std::string() : codecFamily(codecs.front());
                const bool isProtected = mpd.child("ContentProtection") || period.child("ContentProtection") ||
                                         set->child("ContentProtection") || element->child("ContentProtection");
                if (isProtected) {
                    // Text tracks are left out; protected video or audio stops the whole manifest.
                    if (r.type != TrackType::Text) protectedMedia = true;
                    continue;
                }

                SegmentContext context;
                context.bases = basesBelow(setBases, *element);
                context.representationId = r.id;
                context.bandwidth = static_cast<std::uint64_t>(r.bandwidth);
                context.period = static_cast<int>(p);
                context.periodStart = timings[p].start;
                context.periodSeconds = timings[p].seconds;
                int innermost = 0;
                for (const auto* level : {&period, set, element}) {
                    ++innermost;
                    const auto* t = level->child("SegmentTemplate");
                    const auto* l = level->child("SegmentList");
                    const auto* b = level->child("SegmentBase");
                    if (t) context.templates.push_back(t);
                    if (l) context.lists.push_back(l);
                    if (b) context.segmentBases.push_back(b);
                    if (t)
                        context.kind = SegmentContext::Kind::Template;
                    else if (l)
                        context.kind = SegmentContext::Kind::List;
                    else if (b)
                        context.kind = SegmentContext::Kind::Base;
                }
                auto pieces = periodPieces(context);
                fragments += pieces.fragments.size();
                if (fragments > kMostFragmentsPerManifest) {
                    result.error = "The DASH manifest lists too many fragments";
                    return result;
                }
                if (!pieces.error.empty()) {
                    if (firstError.empty()) firstError = sentence(r.id, pieces.error);
                    continue;
                }
                r.fragments = std::move(pieces.fragments);
                r.indexToRead = std::move(pieces.indexToRead);
                r.wholeFile = std::move(pieces.wholeFile);
                r.seconds = pieces.seconds;
                track.initialisation = std::move(pieces.initialisation);
                if (r.indexToRead) {
                    r.initialisations.assign(periods.size(), Piece{});
                    r.initialisations[p] = track.initialisation;
                }
                tracks[p].push_back(std::move(track));
            }
        }
    }
    if (protectedMedia) {
        result.error = kProtectedText;
        return result;
    }
    std::string joinError;
    Manifest manifest;
    manifest.representations = joinPeriods(tracks, periods.size(), joinError);
    if (manifest.representations.empty()) {
        result.error = !firstError.empty()  ? firstError
                       : !joinError.empty() ? "The DASH manifest " + joinError
                                            : "The DASH manifest lists no video or audio to download";
        return result;
    }
    if (total)
        manifest.seconds = *total;
    else
        for (const auto& timing : timings) manifest.seconds += timing.seconds.value_or(0);
    if (manifest.seconds == 0) manifest.seconds = manifest.representations.front().seconds;
    result.manifest = std::move(manifest);
    return result;
}

}  // namespace zenvira::components::dash
