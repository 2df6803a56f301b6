// Hand-written manifests, one of each shape a site serves and each refusal, checked by the
// addresses, byte ranges and times the reader makes of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/dash/mpd_manifest.h"

using namespace zenvira::components::dash;

namespace {

const std::string kAt = "https://cdn.example.com/v/manifest.mpd";

std::string mpd(const std::string& body,
                const std::string& attributes = R"(type="static" mediaPresentationDuration="PT8S")") {
    return "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" " + attributes + ">" + body +
           "</MPD>";
}

struct Expected {
    std::size_t representation = 0;
    std::vector<std::string> fragmentAddresses;  // the first address of each, in order (up to as many as given)
    std::size_t fragmentCount = 0;
    std::vector<std::optional<ByteSpan>> ranges;  // of the first fragments, when given
    std::vector<double> seconds;  // of the first fragments, when given
    std::vector<double> starts;
    std::vector<std::string> initAddresses;  // each period's, first address ("" for none)
    std::optional<ByteSpan> initRange;  // of the first period's
};

struct Case {
    const char* name;
    std::string text;
    std::string error;  // part of the sentence, empty when the manifest reads
    std::vector<Expected> expected;
};

std::vector<Case> cases() {
    return {
        {"TemplateByNumberPaddedWithInitialisation",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4" codecs="avc1.64001f">
              <SegmentTemplate timescale="1000" duration="2000" startNumber="5"
                 initialization="init-$RepresentationID$-$Bandwidth$.mp4" media="$RepresentationID$/seg-$Number%05d$.m4s?b=$Bandwidth$&amp;x=$$"/>
              <Representation id="v720" bandwidth="3000000" width="1280" height="720"/></AdaptationSet></Period>)"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/v720/seg-00005.m4s?b=3000000&x=$",
                                 "https://cdn.example.com/v/v720/seg-00006.m4s?b=3000000&x=$"},
           .fragmentCount = 4,
           .seconds = {2, 2, 2, 2},
           .starts = {0, 2, 4, 6},
           .initAddresses = {"https://cdn.example.com/v/init-v720-3000000.mp4"}}}},
        {"TemplateDurationRoundsUpAndCutsTheLast",
         mpd(R"(<Period duration="PT5S"><AdaptationSet mimeType="audio/mp4" codecs="mp4a.40.2">
              <Representation id="a" bandwidth="128000"><SegmentTemplate duration="2" media="a$Number$.m4s"/></Representation>
              </AdaptationSet></Period>)"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/a1.m4s"}, .fragmentCount = 3, .seconds = {2, 2, 1}}}},
        {"TimelineTimesRepeatsAndRepeatToTheNextTime",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate timescale="90000" presentationTimeOffset="90000"
                 media="t/$Time$.m4s" initialization="t/init.mp4"><SegmentTimeline>
                 <S t="90000" d="180000" r="1"/><S d="90000" r="-1"/><S t="630000" d="45000"/></SegmentTimeline></SegmentTemplate>
              <Representation id="v" bandwidth="1" height="360"/></AdaptationSet></Period>)"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/t/90000.m4s", "https://cdn.example.com/v/t/270000.m4s",
                                 "https://cdn.example.com/v/t/450000.m4s", "https://cdn.example.com/v/t/540000.m4s",
                                 "https://cdn.example.com/v/t/630000.m4s"},
           .fragmentCount = 5,
           .seconds = {2, 2, 1, 1, 0.5},
           .starts = {0, 2, 4, 5, 6}}}},
        {"TimelineRepeatToThePeriodsEnd",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Number$-$Time%03d$.m4s" startNumber="0">
              <SegmentTimeline><S t="0" d="3" r="-1"/></SegmentTimeline></SegmentTemplate>
              <Representation id="v" bandwidth="1"/></AdaptationSet></Period>)",
             R"(mediaPresentationDuration="PT10S")"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/0-000.m4s", "https://cdn.example.com/v/1-003.m4s",
                                 "https://cdn.example.com/v/2-006.m4s", "https://cdn.example.com/v/3-009.m4s"},
           .fragmentCount = 4}}},
        {"ListWithByteRangesAndRangedInitialisation",
         mpd(R"(<BaseURL>media/</BaseURL><Period><AdaptationSet mimeType="video/mp4"><Representation id="v" bandwidth="1">
              <BaseURL>all.mp4</BaseURL><SegmentList timescale="10" duration="40"><Initialization range="0-799"/>
              <SegmentURL mediaRange="800-1799"/><SegmentURL mediaRange="1800-2499"/><SegmentURL media="../tail.m4s"/></SegmentList>
              </Representation></AdaptationSet></Period>)"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/media/all.mp4", "https://cdn.example.com/v/media/all.mp4",
                                 "https://cdn.example.com/v/tail.m4s"},
           .fragmentCount = 3,
           .ranges = {ByteSpan{800, 1799}, ByteSpan{1800, 2499}, std::nullopt},
           .seconds = {4, 4, 4},
           .initAddresses = {"https://cdn.example.com/v/media/all.mp4"},
           .initRange = ByteSpan{0, 799}}}},
        {"ListWithoutDurationsSharesThePeriod",
         mpd(R"(<Period><AdaptationSet mimeType="audio/mp4"><Representation id="a" bandwidth="1"><SegmentList>
              <Initialization sourceURL="i.mp4"/><SegmentURL media="1.m4s"/><SegmentURL media="2.m4s"/></SegmentList>
              </Representation></AdaptationSet></Period>)"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/1.m4s", "https://cdn.example.com/v/2.m4s"},
           .fragmentCount = 2,
           .seconds = {4, 4},
           .initAddresses = {"https://cdn.example.com/v/i.mp4"}}}},
        {"SegmentBaseLeavesTheIndexToRead",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><Representation id="v" bandwidth="1"><BaseURL>file.mp4</BaseURL>
              <SegmentBase indexRange="900-1011"/></Representation></AdaptationSet></Period>)"),
         "",
         {{.fragmentCount = 0,
           .initAddresses = {"https://cdn.example.com/v/file.mp4"},
           .initRange = ByteSpan{0, 899}}}},
        {"PlainFileIsOneFragment",
         mpd(R"(<Period><AdaptationSet mimeType="text/vtt" lang="en"><Representation id="s" bandwidth="1">
              <BaseURL>subs/en.vtt</BaseURL></Representation></AdaptationSet></Period>)"),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/subs/en.vtt"}, .fragmentCount = 1, .seconds = {8}}}},
        {"TwoPeriodsJoinedByKindCodecAndHeightNotById",
         mpd(R"(<Period id="p1" duration="PT4S"><AdaptationSet mimeType="video/mp4" codecs="avc1.4d401e">
                <SegmentTemplate duration="2" media="p1/$RepresentationID$-$Number$.m4s" initialization="p1/$RepresentationID$.mp4"/>
                <Representation id="a" bandwidth="900" height="360"/><Representation id="b" bandwidth="3000" height="720"/>
              </AdaptationSet></Period>
              <Period id="p2" duration="PT4S"><AdaptationSet mimeType="video/mp4" codecs="avc3.4d401f">
                <SegmentTemplate duration="2" media="p2/$RepresentationID$-$Number$.m4s" initialization="p2/$RepresentationID$.mp4"/>
                <Representation id="b" bandwidth="800" height="360"/><Representation id="a" bandwidth="3200" height="720"/>
              </AdaptationSet></Period>)"),
         "",
         {{.representation = 0,
           .fragmentAddresses = {"https://cdn.example.com/v/p1/a-1.m4s", "https://cdn.example.com/v/p1/a-2.m4s",
                                 "https://cdn.example.com/v/p2/b-1.m4s"},
           .fragmentCount = 4,
           .starts = {0, 2, 4, 6},
           .initAddresses = {"https://cdn.example.com/v/p1/a.mp4", "https://cdn.example.com/v/p2/b.mp4"}},
          {.representation = 1,
           .fragmentAddresses = {"https://cdn.example.com/v/p1/b-1.m4s", "https://cdn.example.com/v/p1/b-2.m4s",
                                 "https://cdn.example.com/v/p2/a-1.m4s"},
           .fragmentCount = 4}}},
        {"DynamicIsRefusedAsLive", mpd("<Period/>", R"(type="dynamic")"), "live stream", {}},
        {"ProtectionIsRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><ContentProtection schemeIdUri="urn:mpeg:dash:mp4protection:2011"/>
              <Representation id="v" bandwidth="1"><BaseURL>v.mp4</BaseURL></Representation></AdaptationSet></Period>)"),
         "does not break encryption",
         {}},
        {"RepeatOfATrillionIsRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Number$"><SegmentTimeline>
              <S d="1" r="1000000000000"/></SegmentTimeline></SegmentTemplate><Representation id="v" bandwidth="1"/>
              </AdaptationSet></Period>)"),
         "too many fragments",
         {}},
        {"BillionsOfTemplateFragmentsAreRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Number$" timescale="1000000" duration="1"/>
              <Representation id="v" bandwidth="1"/></AdaptationSet></Period>)",
             R"(mediaPresentationDuration="PT100000H")"),
         "too many fragments",
         {}},
        {"TimescaleZeroIsRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Number$" timescale="0" duration="1"/>
              <Representation id="v" bandwidth="1"/></AdaptationSet></Period>)"),
         "timescale",
         {}},
        {"NegativeRepeatIsRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Number$"><SegmentTimeline>
              <S d="1" r="-7"/></SegmentTimeline></SegmentTemplate><Representation id="v" bandwidth="1"/></AdaptationSet></Period>)"),
         "repeat count",
         {}},
        {"MissingDurationIsRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Number$" duration="2"/>
              <Representation id="v" bandwidth="1"/></AdaptationSet></Period>)",
             ""),
         "how long",
         {}},
        {"UnknownTemplateIdentifierIsRefused",
         mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><SegmentTemplate media="$Nmber$" duration="2"/>
              <Representation id="v" bandwidth="1"/></AdaptationSet></Period>)"),
         "cannot be filled in",
         {}},
        {"ExternalEntitiesAreNotRead",
         "<?xml version=\"1.0\"?><!DOCTYPE MPD [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
             mpd(R"(<Period><AdaptationSet mimeType="video/mp4"><Representation id="v" bandwidth="1">
              <BaseURL>a&x;b.mp4</BaseURL></Representation></AdaptationSet></Period>)")
                 .substr(22),
         "",
         {{.fragmentAddresses = {"https://cdn.example.com/v/ab.mp4"}, .fragmentCount = 1}}},
        {"NotXmlIsRefused", "<MPD><Period>", "not well-formed", {}},
    };
}

}  // namespace

TEST(MpdManifest, EachShapeGivesItsAddressesRangesAndTimes) {
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto read = readManifest(c.text, kAt);
        if (!c.error.empty()) {
            EXPECT_FALSE(read.manifest);
            EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
            continue;
        }
        ASSERT_TRUE(read.manifest) << read.error;
        for (const auto& e : c.expected) {
            ASSERT_LT(e.representation, read.manifest->representations.size());
            const auto& r = read.manifest->representations[e.representation];
            ASSERT_EQ(r.fragments.size(), e.fragmentCount);
            for (std::size_t i = 0; i < e.fragmentAddresses.size(); ++i)
                EXPECT_EQ(r.fragments[i].piece.addresses.front(), e.fragmentAddresses[i]) << i;
            for (std::size_t i = 0; i < e.ranges.size(); ++i) EXPECT_EQ(r.fragments[i].piece.range, e.ranges[i]) << i;
            for (std::size_t i = 0; i < e.seconds.size(); ++i)
                EXPECT_NEAR(r.fragments[i].seconds, e.seconds[i], 1e-9) << i;
            for (std::size_t i = 0; i < e.starts.size(); ++i)
                EXPECT_NEAR(r.fragments[i].startSeconds, e.starts[i], 1e-9) << i;
            for (std::size_t p = 0; p < e.initAddresses.size(); ++p) {
                ASSERT_LT(p, r.initialisations.size());
                const auto& init = r.initialisations[p];
                EXPECT_EQ(init.addresses.empty() ? "" : init.addresses.front(), e.initAddresses[p]) << p;
            }
            if (e.initRange) {
                EXPECT_EQ(r.initialisations.at(0).range, e.initRange);
            }
            for (const auto& f : r.fragments) EXPECT_LT(static_cast<std::size_t>(f.period), r.initialisations.size());
        }
    }
}

TEST(MpdManifest, InheritedFieldsTypesRolesAndFailoverAddresses) {
    const auto read =
        readManifest(mpd(R"(<BaseURL>https://one.example.com/d/</BaseURL><BaseURL>https://two.example.com/d/</BaseURL>
          <Period><AdaptationSet mimeType="video/mp4" codecs="avc1.64001f" width="1920" height="1080">
            <Role schemeIdUri="urn:mpeg:dash:role:2011" value="main"/>
            <SegmentTemplate duration="4" media="$RepresentationID$/$Number$.m4s"/>
            <Representation id="hd" bandwidth="5000000"/><Representation id="sd" bandwidth="1000000" height="480" width="854"/>
          </AdaptationSet>
          <AdaptationSet mimeType="audio/mp4" lang="fr"><Representation id="fr" codecs="opus" bandwidth="96000">
            <BaseURL>audio/</BaseURL><BaseURL>https://three.example.com/a/</BaseURL><SegmentTemplate duration="8" media="x.m4s"/></Representation>
          </AdaptationSet>
          <AdaptationSet contentType="video" mimeType="video/mp4" codecs="avc1.4d401e,mp4a.40.2">
            <Representation id="both" bandwidth="1"><BaseURL>both.mp4</BaseURL></Representation></AdaptationSet>
          <AdaptationSet mimeType="application/mp4" codecs="stpp"><Representation id="ttml" bandwidth="1"><BaseURL>t.mp4</BaseURL></Representation></AdaptationSet>
          <AdaptationSet mimeType="image/jpeg"><Representation id="thumbs" bandwidth="1"><BaseURL>t.jpg</BaseURL></Representation></AdaptationSet>
          </Period>)"),
                     kAt);
    ASSERT_TRUE(read.manifest) << read.error;
    const auto& reps = read.manifest->representations;
    ASSERT_EQ(reps.size(), 5u);
    EXPECT_EQ(reps[0].id, "hd");
    EXPECT_EQ(reps[0].type, TrackType::Video);
    EXPECT_EQ(reps[0].height, 1080);
    EXPECT_EQ(reps[0].width, 1920);
    EXPECT_EQ(reps[0].codecs, "avc1.64001f");
    EXPECT_TRUE(reps[0].isMain);
    EXPECT_EQ(reps[1].height, 480);
    EXPECT_EQ(reps[0].fragments.front().piece.addresses,
              (std::vector<std::string>{"https://one.example.com/d/hd/1.m4s", "https://two.example.com/d/hd/1.m4s"}));
    EXPECT_EQ(reps[2].type, TrackType::Audio);
    EXPECT_EQ(reps[2].language, "fr");
    EXPECT_FALSE(reps[2].isMain);
    EXPECT_EQ(reps[2].fragments.front().piece.addresses,
              (std::vector<std::string>{"https://one.example.com/d/audio/x.m4s", "https://three.example.com/a/x.m4s",
                                        "https://two.example.com/d/audio/x.m4s"}));
    EXPECT_EQ(reps[3].type, TrackType::Muxed);
    EXPECT_EQ(reps[4].type, TrackType::Text);
    EXPECT_DOUBLE_EQ(read.manifest->seconds, 8);
}

TEST(MpdManifest, RecognisedByItsRootAndContentType) {
    EXPECT_TRUE(looksLikeManifest("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- made by x -->\n<MPD xmlns=\"a\">"));
    EXPECT_TRUE(looksLikeManifest("<dash:MPD>"));
    EXPECT_FALSE(looksLikeManifest("<html><MPD>"));
    EXPECT_FALSE(looksLikeManifest("<MPDX>"));
    EXPECT_FALSE(looksLikeManifest("#EXTM3U"));
    EXPECT_TRUE(isManifestType("Application/Dash+XML; charset=utf-8"));
    EXPECT_FALSE(isManifestType("application/xml"));
}

namespace {

std::string be(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xff);
    return out;
}

// A sidx box: version, timescale, earliest time, first offset, then (type, size, duration).
std::string sidx(int version, std::uint64_t timescale, std::uint64_t earliest, std::uint64_t firstOffset,
                 const std::vector<std::tuple<int, std::uint64_t, std::uint64_t>>& references) {
    const int wide = version == 0 ? 4 : 8;
    std::string body = be(version, 1) + be(0, 3) + be(1, 4) + be(timescale, 4) + be(earliest, wide) +
                       be(firstOffset, wide) + be(0, 2) + be(references.size(), 2);
    for (const auto& [type, size, duration] : references)
        body += be((std::uint64_t(type) << 31) | size, 4) + be(duration, 4) + be(0x90000000u, 4);
    return be(body.size() + 8, 4) + "sidx" + body;
}

Representation indexed(std::uint64_t indexFirst, std::uint64_t indexLast) {
    Representation r;
    r.wholeFile = {{"https://h/f.mp4"}, std::nullopt};
    r.indexToRead = Piece{{"https://h/f.mp4"}, ByteSpan{indexFirst, indexLast}};
    return r;
}

}  // namespace

TEST(MpdManifest, IndexBoxCutsTheFileIntoRangesWithDurations) {
    // Version 0 with a gap after the box; version 1 with 64-bit fields.
    for (const int version : {0, 1}) {
        SCOPED_TRACE(version);
        const auto box = sidx(version, 1000, 500, 10, {{0, 100, 2000}, {0, 50, 1500}});
        const auto result = fragmentsFromIndex(indexed(1000, 1000 + box.size() - 1), box);
        ASSERT_TRUE(result.error.empty()) << result.error;
        ASSERT_EQ(result.fragments.size(), 2u);
        const std::uint64_t first = 1000 + box.size() + 10;
        EXPECT_EQ(result.fragments[0].piece.range, (ByteSpan{first, first + 99}));
        EXPECT_EQ(result.fragments[1].piece.range, (ByteSpan{first + 100, first + 149}));
        EXPECT_EQ(result.fragments[1].piece.addresses, std::vector<std::string>{"https://h/f.mp4"});
        EXPECT_DOUBLE_EQ(result.fragments[0].seconds, 2);
        EXPECT_DOUBLE_EQ(result.fragments[1].seconds, 1.5);
        EXPECT_DOUBLE_EQ(result.fragments[1].startSeconds, 2.5);
    }
    // A reference to a second index inside the bytes read is followed in its place; it spans
    // that index and the media the index lists.
    const auto inner = sidx(0, 10, 0, 0, {{0, 70, 20}});
    const auto outer = sidx(0, 10, 0, 0, {{1, inner.size() + 70, 20}, {0, 30, 10}});
    const std::uint64_t outerSize = outer.size();
    const auto chained = fragmentsFromIndex(indexed(0, outerSize + inner.size() - 1), outer + inner);
    ASSERT_TRUE(chained.error.empty()) << chained.error;
    ASSERT_EQ(chained.fragments.size(), 2u);
    EXPECT_EQ(chained.fragments[0].piece.range, (ByteSpan{outerSize + inner.size(), outerSize + inner.size() + 69}));
    EXPECT_EQ(chained.fragments[1].piece.range,
              (ByteSpan{outerSize + inner.size() + 70, outerSize + inner.size() + 99}));
    // Broken indexes are refused with a sentence, never read past their end.
    for (const std::string& broken : {std::string("xxxx"), sidx(0, 0, 0, 0, {{0, 1, 1}}), sidx(0, 1, 0, 0, {{0, 0, 1}}),
                                      sidx(2, 1, 0, 0, {{0, 1, 1}}), sidx(0, 1, 0, 0, {{0, 1, 1}}).substr(0, 30),
                                      sidx(0, 1, 0, 0, {{1, 1000, 1}})}) {
        const auto result = fragmentsFromIndex(indexed(0, broken.size() - 1), broken);
        EXPECT_TRUE(result.fragments.empty());
        EXPECT_FALSE(result.error.empty());
    }
}
