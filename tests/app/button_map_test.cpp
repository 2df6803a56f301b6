#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/button_map.h"

using zenvira::app::mapStreamsToButtons;
using Strings = std::vector<std::string>;

namespace {

Strings rows(int count) {
    Strings list;
    for (int i = 0; i < count; ++i) list.push_back("a" + std::to_string(i));
    if (count > 0) list.back() = "";  // the tail piece after the map's last comma
    return list;
}

}  // namespace

TEST(ButtonMap, RightAlignsEveryRowCount) {
    struct Case {
        int count;
        Strings List4;
        std::array<bool, 5> enabled;
    };
    const Case cases[] = {
        {0, {"no", "no", "no", "no", "no"}, {false, false, false, false, false}},
        {1, {"no", "no", "no", "no", "no"}, {false, false, false, false, false}},
        {2, {"no", "no", "no", "no", "a0"}, {false, false, false, false, true}},
        {4, {"no", "no", "a0", "a1", "a2"}, {false, false, true, true, true}},
        {6, {"a0", "a1", "a2", "a3", "a4"}, {true, true, true, true, true}},
        {7, {"a0", "a1", "a2", "a3", "a4"}, {true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        const auto map = mapStreamsToButtons(rows(c.count));
        EXPECT_EQ(map.List4, c.List4) << c.count << " rows";
        EXPECT_EQ(map.enabled, c.enabled) << c.count << " rows";
    }
}

TEST(ButtonMap, OnlyTheExactNoDisables) {
    const auto map = mapStreamsToButtons({"No", "no ", "x", "y", "z", ""});
    EXPECT_EQ(map.enabled, (std::array<bool, 5>{true, true, true, true, true}));
}
