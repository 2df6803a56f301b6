#pragma once
// Opens an address in the user's web browser without waiting for it.
//   Windows: the program associated with .htm files (looked up on an empty probe file
//            C:\Tmp.htm), started maximized with the address after one blank; when no
//            program is associated, the system's default handler for the address.
//   POSIX:   the program named by $BROWSER (the first of a colon-separated list that starts;
//            "%s" in it stands for the address), else xdg-open; started directly, never
//            through a shell, the address one argument.
// A browser that cannot be started is reported through the result, never by ending anything.
#include <string>

namespace zenvira::platform {

struct BrowserLaunch {
    bool ok = false;
    std::string error;  // one line a person understands, when not ok
};

BrowserLaunch openInBrowser(const std::string& address);

}  // namespace zenvira::platform
