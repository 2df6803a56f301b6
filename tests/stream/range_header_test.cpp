// The Range header a player sends, read against the file's size.
#include <gtest/gtest.h>

#include "engine/stream/range_header.h"
#include "engine/stream/stream_server.h"

namespace {

using zenvira::components::RequestedBytes;
using zenvira::components::requestedBytes;
using Kind = RequestedBytes::Kind;

TEST(RangeHeader, OneRangeOfBytesIsReadAgainstTheSize) {
    struct Case {
        const char* header;
        std::int64_t size;
        Kind kind;
        std::int64_t first, last;
    } cases[] = {
        {"", 1000, Kind::Whole, 0, 999},
        {"bytes=0-", 1000, Kind::Part, 0, 999},
        {"bytes=500-", 1000, Kind::Part, 500, 999},
        {"bytes=0-99", 1000, Kind::Part, 0, 99},
        {"bytes=900-5000", 1000, Kind::Part, 900, 999},  // cut to the end
        {"bytes=-100", 1000, Kind::Part, 900, 999},  // the tail: an index at the end
        {"bytes=-5000", 1000, Kind::Part, 0, 999},
        {" bytes=10-20 ", 1000, Kind::Part, 10, 20},
        {"bytes=1000-", 1000, Kind::Unsatisfiable, 0, -1},
        {"bytes=-0", 1000, Kind::Unsatisfiable, 0, -1},
        {"bytes=0-1,5-9", 1000, Kind::Whole, 0, 999},  // several: the whole file answers
        {"bytes=20-10", 1000, Kind::Whole, 0, 999},  // not a range: ignored
        {"bytes=x-", 1000, Kind::Whole, 0, 999},
        {"items=0-10", 1000, Kind::Whole, 0, 999},
        {"bytes=-9223372036854775807", 1000, Kind::Part, 0, 999},
        {"bytes=99999999999999999999-", 1000, Kind::Whole, 0, 999},  // too big a number
    };
    for (const auto& c : cases) {
        const RequestedBytes got = requestedBytes(c.header, c.size);
        EXPECT_EQ(got.kind, c.kind) << c.header;
        if (got.kind == Kind::Unsatisfiable) continue;
        EXPECT_EQ(got.first, c.first) << c.header;
        EXPECT_EQ(got.last, c.last) << c.header;
    }
}

TEST(RangeHeader, ANameBecomesOneSegmentOfTheAddress) {
    EXPECT_EQ(zenvira::components::addressSegment("Clip 1.mp4"), "Clip%201.mp4");
    EXPECT_EQ(zenvira::components::addressSegment("a/b?c#d"), "a%2Fb%3Fc%23d");
    EXPECT_EQ(zenvira::components::addressSegment("Ünï.mp4"), "%C3%9Cn%C3%AF.mp4");
}

}  // namespace
