#pragma once
// The start-up check for a newer published version of Zenvira.
#include <string>

#include "app/page_reader.h"

namespace zenvira::app {

// The inner text of the update page's first DIV whose id is exactly "mver"; empty when none.
std::string publishedVersionText(const std::string& pageText);

// Reads a number the way the old Val() did: blanks, tabs and line feeds are skipped wherever
// they stand, the point is the decimal separator, reading stops at the first character that
// cannot continue the number, and a text without a leading number reads 0.
double readVersionNumber(const std::string& text);

struct UpdateCheck {
    bool newer = false;
    std::string versionText;  // as found on the page
};

// Reads the update page; a page that cannot be read counts as no newer version.
UpdateCheck checkForNewerVersion(const PageReader& reader);

std::string newVersionMessage(const std::string& versionText);

// The update page is read before the window shows: a dead site delays start-up at most this long.
components::FetchOptions updatePageFetchOptions();

}  // namespace zenvira::app
