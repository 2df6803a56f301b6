#pragma once
// One representation's pieces within one period: its initialisation section and fragments
// from whichever of SegmentTemplate, SegmentList or SegmentBase applies to it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/dash/mpd_manifest.h"
#include "media/dash/xml_tree.h"

namespace zenvira::components::dash {

// The segment information elements of one kind that apply, outermost (Period) first.
using SegmentLevels = std::vector<const XmlElement*>;

struct SegmentContext {
    std::vector<std::string> bases;  // the representation's BaseURLs, absolute, failover order
    std::string representationId;
    std::uint64_t bandwidth = 0;
    int period = 0;
    double periodStart = 0;
    std::optional<double> periodSeconds;
    SegmentLevels templates, lists, segmentBases;
    enum class Kind { Template, List, Base } kind = Kind::Base;  // given at the innermost level
};

struct PeriodPieces {
    Piece initialisation;
    std::vector<Fragment> fragments;
    std::optional<Piece> indexToRead;
    Piece wholeFile;
    double seconds = 0;
    std::string error;  // a sentence's end: what is wrong with this representation
};

PeriodPieces periodPieces(const SegmentContext& context);

// `reference` joined to each base, duplicates dropped; the bases themselves when it is empty.
std::vector<std::string> addressesOf(const std::vector<std::string>& bases, const std::string& reference);

}  // namespace zenvira::components::dash
