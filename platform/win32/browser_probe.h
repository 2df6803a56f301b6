#pragma once
// The steps of opening an address in the program associated with .htm files, with the lookup
// and the start passed in so that their order can be seen: the probe file made empty, the
// program associated with it looked up, that program started with the address after one
// blank, and only then the probe deleted.
#include <functional>
#include <string>

#include "platform/browser.h"

namespace zenvira::platform::win32 {

// The program associated with the probe's type, empty when there is none.
using ProgramLookup = std::function<std::wstring(const std::wstring& probe)>;
// Starts a process from its whole command line; false when it does not start.
using ProcessStart = std::function<bool(std::wstring& commandLine)>;

// Not ok, with nothing started, when no program was found or it would not start.
BrowserLaunch openThroughProbe(const std::wstring& probe, const std::string& address, const ProgramLookup& lookup,
                               const ProcessStart& start);

}  // namespace zenvira::platform::win32
