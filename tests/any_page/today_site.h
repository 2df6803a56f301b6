#pragma once
// The fixture site dressed as today's web: one page of each shape, the media they name
// (made by ffmpeg once per build folder and reused), an HLS ladder with an AES-128 variant, one
// whose sound is a rendition of its own,
// a direct link without extension, a live playlist and a page without video.
#include <QString>

#include <string>
#include <vector>

#include "tests/site/fixture_site.h"

namespace zenvira::testsite {

struct PageCase {
    std::string name;     // for messages
    std::string address;  // what a user pastes
    std::string title;    // the file is named after it
    std::vector<int> buttons;  // heights of the enabled buttons, best first
    int bestHeight = 0;        // what the best download holds
    std::string extension;     // of the best download
    double seconds = 0;        // duration of the best download
    // Where video and sound come apart: the media folder's playlists of the two tracks the
    // download joins, whose packets it must hold unchanged.
    std::string videoSource, soundSource;
};

// Media made once into `folder` (kept between runs); false when ffmpeg fails.
bool prepareTodayMedia(const QString& folder);

// Registers every page and medium; `mediaFolder` must have been prepared.
void serveToday(site::FixtureSite& site, const QString& mediaFolder);

// The pages with video, and what each should give.
std::vector<PageCase> todayCases();
inline const std::string kNoVideoAddress = "http://www.example.org/blog/no-video-here";
inline const std::string kLiveAddress = "http://live.example.com/channel/live.m3u8";
inline const std::string kLadderAddress = "http://stream.example.com/hls/master.m3u8";
inline const std::string kDashAddress = "http://dash.example.com/dash-timeline/manifest.mpd";
inline const std::string kProtectedDashAddress = "http://dash.example.com/dash-protected/manifest.mpd";
inline const std::string kSoundApartAddress = "http://stream.example.com/hls-sound/master.m3u8";

// The build's media folder for these tests.
QString todayMediaFolder();

}  // namespace zenvira::testsite
