#pragma once
// Where a stream's height comes from when the page does not say it in one plain number,
// and where a height lands on the quality buttons.
#include <string_view>

namespace zenvira::resolve {

// A height in a label a page puts on a stream: "720p", "1080p60", "HD 720p", "1280x720",
// "720", "4K". 0 when the label holds none.
int heightFromLabel(std::string_view label);

// A height written in a stream's address: ".../clip_720p.mp4", "clip_720.mp4",
// ".../1280x720/...". Only the usual heights count, so a year or an id is not taken for one.
int heightFromAddress(std::string_view address);

// The quality button of a height: the first row of the quality table whose height it
// reaches, the last row below that (and for an unknown height, 0).
int buttonOfHeight(int height);

}  // namespace zenvira::resolve
