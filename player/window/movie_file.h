#pragma once
// The player window's copy of the player movie and the address it loads a video by.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zenvira::player {

// The FlashVars text of every play request: the movie starts playing once the video is loaded.
inline constexpr std::string_view kAutostartFlashVars = "autostart=true";

// The movie copy's number for a draw r in [0, 1): the whole part of r x 100000, plus 187,
// so 187 <= n <= 100186.
int movieNumberForDraw(double r);

// Draws numbers for movie copies from a generator seeded with the seconds since midnight.
class MovieNumberDraw {
public:
    explicit MovieNumberDraw(std::uint32_t secondsSinceMidnight);
    int next();

private:
    std::uint64_t state_;
};

// The copy's path: the temporary folder (ending with its separator) followed by n, no
// extension ("C:\Temp\" and 54508 give "C:\Temp\54508").
std::string movieFilePath(std::string_view temporaryFolder, int n);

// The address of a play request: the movie's path, "?file=" and the video's path, every "\"
// of the whole address turned into "/" and nothing else escaped.
std::string movieAddress(std::string_view moviefile, std::string_view flvfile);

// Writes `bytes` as the whole content of the file at `path` (UTF-8), replacing what was there;
// false with the reason when the file cannot be written or there is nothing to write.
bool writeResourceFile(std::span<const std::uint8_t> bytes, const std::string& path, std::string& error);

}  // namespace zenvira::player
