#include "app/window/main_layout.h"

#include <array>

namespace zenvira::window {

namespace {
constexpr std::array<std::string_view, kQualityButtonCount> kQualityButtonNames = {
    "PushButton1_0", "PushButton1_1", "PushButton1_2", "PushButton1_3", "PushButton1_4"};
}  // namespace

const std::vector<ControlEntry>& mainWindowControls() {
    // picFind comes first: it is the backdrop the left button column sits on.
    static const std::vector<ControlEntry> controls = {
        {"picFind", "", {90, 120, 2415, 6015}},
        {kQualityButtonNames[0], base::kQualities[0].caption, {210, 120, 1935, 735}},
        {kQualityButtonNames[1], base::kQualities[1].caption, {210, 960, 1935, 735}},
        {kQualityButtonNames[2], base::kQualities[2].caption, {210, 1800, 1935, 735}},
        {kQualityButtonNames[3], base::kQualities[3].caption, {210, 2640, 1935, 735}},
        {kQualityButtonNames[4], base::kQualities[4].caption, {210, 3480, 1935, 735}},
        {"PushButton3", "Converter", {210, 4320, 1935, 735}},
        {"PushButton4", "Batch HD Download", {210, 5160, 1935, 735}},
        {"txturl", "", {2640, 120, 5655, 375}},
        {"PushButton2", "Extract", {8400, 120, 975, 375}},
        {"PushButton5", "List", {9420, 120, 975, 375}},
        {"PushButton8", "Play", {10440, 120, 975, 375}},
        {"ListBox1", "", {2640, 600, 8775, 5175}},
        {"ProgressBar1", "", {2640, 5880, 6135, 255}},
        {"PushButton6", "Stop", {8880, 5850, 1215, 300}},
        {"PushButton7", "Update", {10200, 5850, 1215, 300}},
        {"STBar", "", {0, 6255, 11640, 315}},
    };
    return controls;
}

const ControlEntry& controlEntry(std::string_view name) { return ui::findControl(mainWindowControls(), name); }

std::string_view qualityButtonName(int index) {
    return kQualityButtonNames.at(static_cast<std::size_t>(index));
}

}  // namespace zenvira::window
