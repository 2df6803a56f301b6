#pragma once
// The name a download is saved under, made safe for the folder it goes to: no control
// characters, never hidden or empty, short enough for the folder's name limit together with
// its longest companion, and numbered ("Title (2).flv") when the plain name is taken.
#include <cstddef>
#include <string>

namespace zenvira::components {

// The longest companion a download keeps beside its file while it runs.
inline constexpr const char* kLongestCompanion = ".part.state.new";

// Drops control characters (U+0000-U+001F, U+007F-U+009F) and leading dots and blanks. A
// name whose part before the extension is then empty or only dots and blanks becomes
// `fallbackStem` (the video's id) with the extension; "video" when that is empty too.
std::string safeFileName(const std::string& name, const std::string& fallbackStem);

// "Title.flv" with number 2 gives "Title (2).flv"; number 1 gives the name unchanged. The
// part before the extension is cut on a character boundary so that the result and the
// longest companion fit in `limitBytes`.
std::string numberedFileName(const std::string& name, int number, std::size_t limitBytes);

// Control characters of a text replaced by blanks, for text that reaches a terminal or a
// status line.
std::string printableText(const std::string& text);

}  // namespace zenvira::components
