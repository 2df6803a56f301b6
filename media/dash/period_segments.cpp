#include "media/dash/period_segments.h"

#include <algorithm>
#include <cmath>

#include "base/web_address/address_text.h"
#include "media/dash/mpd_limits.h"
#include "media/dash/mpd_values.h"
#include "media/dash/segment_template.h"

namespace zenvira::components::dash {

std::vector<std::string> addressesOf(const std::vector<std::string>& bases, const std::string& reference) {
    std::vector<std::string> out;
    for (const auto& base : bases) {
        std::string joined = reference.empty() ? base : joinAddress(base, reference);
        if (joined.empty() || std::find(out.begin(), out.end(), joined) != out.end()) continue;
        out.push_back(std::move(joined));
        if (out.size() == kMostAddressesPerPiece) break;
    }
    return out;
}

namespace {

// The innermost level's attribute wins; an attribute not given there is inherited.
const std::string* inherited(const SegmentLevels& levels, std::string_view name) {
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        if (const auto* value = (*level)->attribute(name)) return value;
    return nullptr;
}

const XmlElement* inheritedChild(const SegmentLevels& levels, std::string_view name) {
    for (auto level = levels.rbegin(); level != levels.rend(); ++level)
        if (const auto* child = (*level)->child(name)) return child;
    return nullptr;
}

std::optional<std::uint64_t> unsignedOr(const std::string* text, std::uint64_t fallback) {
    return text ? unsignedValue(*text) : std::optional<std::uint64_t>(fallback);
}

struct Timed {
    std::uint64_t time = 0, duration = 0;
};

struct Timing {
    std::uint64_t timescale = 1;
    std::uint64_t offset = 0;  // @presentationTimeOffset
};

// The segments a SegmentTimeline lists, `r="-1"` repeated up to the next S or the period's end.
std::string timelineOf(const XmlElement& timeline, const Timing& timing, const SegmentContext& context,
                       std::vector<Timed>& out) {
    const auto entries = timeline.childrenNamed("S");
    std::uint64_t time = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& s = *entries[i];
        if (const auto* t = s.attribute("t")) {
            const auto value = unsignedValue(*t);
            if (!value) return "has a timeline entry with a bad time";
            time = *value;
        }
        const auto* d = s.attribute("d");
        const auto duration = d ? unsignedValue(*d) : std::nullopt;
        if (!duration || *duration == 0) return "has a timeline entry without a duration";
        const auto repeat = signedValue(s.attribute("r") ? *s.attribute("r") : "0");
        if (!repeat || *repeat < -1) return "has a timeline entry with a bad repeat count";
        std::uint64_t count = 0;
        if (*repeat == -1) {
            double end = 0;
            std::optional<std::uint64_t> nextTime;
            if (i + 1 < entries.size() && entries[i + 1]->attribute("t"))
                nextTime = unsignedValue(*entries[i + 1]->attribute("t"));
            if (nextTime)
                end = static_cast<double>(*nextTime);
            else if (context.periodSeconds)
                end =
                    static_cast<double>(timing.offset) + *context.periodSeconds * static_cast<double>(timing.timescale);
            else
                return "repeats a timeline entry to an end the manifest does not give";
            const double repeats = std::ceil((end - static_cast<double>(time)) / static_cast<double>(*duration) - 1e-9);
            count = repeats < 1                        ? 1
                    : repeats > kMostFragmentsPerTrack ? kMostFragmentsPerTrack + 1
                                                       : static_cast<std::uint64_t>(repeats);
        } else {
            count = static_cast<std::uint64_t>(*repeat) + 1;
        }
        if (count > kMostFragmentsPerTrack - out.size()) return "lists too many fragments";
        if (*duration > (kLargestFileOffset - std::min(time, kLargestFileOffset)) / count)
            return "has timeline times out of range";
        for (std::uint64_t k = 0; k < count; ++k) {
            out.push_back({time, *duration});
            time += *duration;
        }
    }
    return {};
}

Fragment fragmentAt(const SegmentContext& context, const Timing& timing, const Timed& timed,
                    std::vector<std::string> addresses) {
    Fragment fragment;
    fragment.piece.addresses = std::move(addresses);
    const double scale = static_cast<double>(timing.timescale);
    fragment.seconds = static_cast<double>(timed.duration) / scale;
    fragment.startSeconds =
        context.periodStart + (static_cast<double>(timed.time) - static_cast<double>(timing.offset)) / scale;
    fragment.period = context.period;
    return fragment;
}

std::string timingOf(const SegmentLevels& levels, Timing& timing) {
    const auto timescale = unsignedOr(inherited(levels, "timescale"), 1);
    if (!timescale || *timescale == 0) return "has a bad timescale";
    const auto offset = unsignedOr(inherited(levels, "presentationTimeOffset"), 0);
    if (!offset) return "has a bad presentation time offset";
    timing = {*timescale, *offset};
    return {};
}

// Segments of equal @duration covering the period.
std::string evenSegments(const SegmentLevels& levels, const Timing& timing, const SegmentContext& context,
                         std::vector<Timed>& out) {
    const auto duration = unsignedValue(*inherited(levels, "duration"));
    if (!duration || *duration == 0) return "has a bad segment duration";
    if (!context.periodSeconds) return "gives segment durations but not how long the video is";
    const double count = std::ceil(
        *context.periodSeconds * static_cast<double>(timing.timescale) / static_cast<double>(*duration) - 1e-9);
    if (!(count <= static_cast<double>(kMostFragmentsPerTrack))) return "lists too many fragments";
    if (*duration > kLargestFileOffset / std::max(1.0, count)) return "has segment times out of range";
    const double periodTicks = *context.periodSeconds * static_cast<double>(timing.timescale);
    for (std::uint64_t k = 0; k < static_cast<std::uint64_t>(count); ++k) {
        Timed timed{timing.offset + k * *duration, *duration};
        const double left = periodTicks - static_cast<double>(k * *duration);
        if (left < static_cast<double>(*duration))
            timed.duration = static_cast<std::uint64_t>(std::max(1.0, std::round(left)));
        out.push_back(timed);
    }
    return {};
}

std::string templatePieces(const SegmentContext& context, PeriodPieces& pieces) {
    const auto& levels = context.templates;
    Timing timing;
    if (auto error = timingOf(levels, timing); !error.empty()) return error;
    const auto startNumber = unsignedOr(inherited(levels, "startNumber"), 1);
    if (!startNumber || *startNumber > kLargestFileOffset) return "has a bad start number";
    const auto* media = inherited(levels, "media");
    if (!media) return "has a segment template without addresses";

    TemplateValues values{context.representationId, context.bandwidth, std::nullopt, std::nullopt};
    std::string initReference;
    std::optional<ByteSpan> initRange;
    if (const auto* init = inherited(levels, "initialization")) {
        const auto expanded = expandTemplate(*init, values);
        if (!expanded) return "has an initialisation template that cannot be filled in";
        initReference = *expanded;
    } else if (const auto* init = inheritedChild(levels, "Initialization")) {
        if (const auto* source = init->attribute("sourceURL")) initReference = *source;
        if (const auto* range = init->attribute("range")) initRange = byteSpanValue(*range);
    }
    if (!initReference.empty() || initRange)
        pieces.initialisation = {addressesOf(context.bases, initReference), initRange};

    std::vector<Timed> segments;
    std::string error;
    if (const auto* timeline = inheritedChild(levels, "SegmentTimeline"))
        error = timelineOf(*timeline, timing, context, segments);
    else if (inherited(levels, "duration"))
        error = evenSegments(levels, timing, context, segments);
    else
        error = "has a segment template without durations";
    if (!error.empty()) return error;

    for (std::size_t k = 0; k < segments.size(); ++k) {
        values.number = *startNumber + k;
        values.time = segments[k].time;
        const auto expanded = expandTemplate(*media, values);
        if (!expanded) return "has a segment template that cannot be filled in";
        pieces.fragments.push_back(fragmentAt(context, timing, segments[k], addressesOf(context.bases, *expanded)));
    }
    return {};
}

std::string listPieces(const SegmentContext& context, PeriodPieces& pieces) {
    const auto& levels = context.lists;
    Timing timing;
    if (auto error = timingOf(levels, timing); !error.empty()) return error;
    if (const auto* init = inheritedChild(levels, "Initialization")) {
        const auto* source = init->attribute("sourceURL");
        std::optional<ByteSpan> range;
        if (const auto* text = init->attribute("range")) {
            range = byteSpanValue(*text);
            if (!range) return "has an initialisation with a bad byte range";
        }
        pieces.initialisation = {addressesOf(context.bases, source ? *source : std::string()), range};
    }
    std::vector<const XmlElement*> urls;
    for (auto level = levels.rbegin(); level != levels.rend() && urls.empty(); ++level)
        urls = (*level)->childrenNamed("SegmentURL");
    if (urls.size() > kMostFragmentsPerTrack) return "lists too many fragments";

    std::vector<Timed> segments;
    if (const auto* timeline = inheritedChild(levels, "SegmentTimeline")) {
        if (auto error = timelineOf(*timeline, timing, context, segments); !error.empty()) return error;
    } else if (const auto* durationText = inherited(levels, "duration")) {
        const auto duration = unsignedValue(*durationText);
        if (!duration || *duration == 0 || *duration > kLargestFileOffset / std::max<std::size_t>(1, urls.size()))
            return "has a bad segment duration";
        for (std::size_t k = 0; k < urls.size(); ++k) segments.push_back({timing.offset + k * *duration, *duration});
    }
    // Without durations the period is shared out evenly (or each fragment's length is unknown).
    const double evenTicks =
        context.periodSeconds && !urls.empty()
            ? *context.periodSeconds * static_cast<double>(timing.timescale) / static_cast<double>(urls.size())
            : 0;
    for (std::size_t k = 0; k < urls.size(); ++k) {
        const auto* media = urls[k]->attribute("media");
        std::optional<ByteSpan> range;
        if (const auto* text = urls[k]->attribute("mediaRange")) {
            range = byteSpanValue(*text);
            if (!range) return "has a segment with a bad byte range";
        }
        Timed timed = k < segments.size()
                          ? segments[k]
                          : Timed{timing.offset + static_cast<std::uint64_t>(evenTicks * static_cast<double>(k)),
                                  static_cast<std::uint64_t>(evenTicks)};
        auto fragment = fragmentAt(context, timing, timed, addressesOf(context.bases, media ? *media : std::string()));
        fragment.piece.range = range;
        pieces.fragments.push_back(std::move(fragment));
    }
    if (pieces.fragments.empty()) return "has a segment list without segments";
    return {};
}

std::string basePieces(const SegmentContext& context, PeriodPieces& pieces) {
    pieces.wholeFile = {context.bases, std::nullopt};
    const auto& levels = context.segmentBases;
    std::optional<ByteSpan> index;
    if (const auto* text = levels.empty() ? nullptr : inherited(levels, "indexRange")) {
        index = byteSpanValue(*text);
        if (!index) return "has a bad index range";
    }
    if (!index) {
        // No index: the file is one fragment.
        Fragment whole;
        whole.piece = pieces.wholeFile;
        whole.seconds = context.periodSeconds.value_or(0);
        whole.startSeconds = context.periodStart;
        whole.period = context.period;
        pieces.fragments.push_back(std::move(whole));
        return {};
    }
    pieces.indexToRead = Piece{context.bases, index};
    std::optional<ByteSpan> initRange;
    if (const auto* init = inheritedChild(levels, "Initialization")) {
        if (const auto* text = init->attribute("range")) {
            initRange = byteSpanValue(*text);
            if (!initRange) return "has an initialisation with a bad byte range";
        }
    }
    // Without its own range the initialisation is what comes before the index.
    if (!initRange && index->first > 0) initRange = ByteSpan{0, index->first - 1};
    if (initRange) pieces.initialisation = {context.bases, initRange};
    return {};
}

}  // namespace

PeriodPieces periodPieces(const SegmentContext& context) {
    PeriodPieces pieces;
    if (context.bases.empty()) {
        pieces.error = "has an address that cannot be joined to the manifest's";
        return pieces;
    }
    // SegmentBase also stands for no segment information at all: the file is one fragment.
    switch (context.kind) {
    case SegmentContext::Kind::Template: pieces.error = templatePieces(context, pieces); break;
    case SegmentContext::Kind::List: pieces.error = listPieces(context, pieces); break;
    case SegmentContext::Kind::Base: pieces.error = basePieces(context, pieces); break;
    }
    if (pieces.error.empty())
        for (const auto& fragment : pieces.fragments) pieces.seconds += fragment.seconds;
    if (pieces.error.empty() && context.periodSeconds) pieces.seconds = *context.periodSeconds;
    return pieces;
}

}  // namespace zenvira::components::dash
