#pragma once
// `zenvira-cli native-host`: the program a browser starts for the Zenvira extension. Messages
// come on standard input and answers go to standard output, each as a 4-byte length in the
// machine's own byte order followed by that many bytes of UTF-8 JSON, as Chromium and Firefox
// frame native messages.
//
//   {"action": "add", "url": ADDRESS, "page": ADDRESS, "title": TEXT}   page and title optional
//   {"ok": true, "id": ENTRY}  or  {"ok": false, "error": SENTENCE}
//
// Every message gets an answer. Only http and https addresses are taken; a message over 1 MiB
// is refused from its length alone, and the host ends then, since the bytes it did not read
// stand between it and the next message. After an addition the host shows the Downloads
// window (showDownloadsWindow); it never runs a shell.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace zenvira::cli {

inline constexpr std::uint32_t kMostNativeMessageBytes = 1024 * 1024;

// What one "add" asks for, checked: url is an http or https address, page one or empty, title
// one line of printable text.
struct BrowserAddition {
    std::string url;
    std::string page;
    std::string title;
};

// What adding gave: the entry's id, or a sentence saying why nothing was added.
struct AdditionResult {
    std::optional<std::int64_t> id;
    std::string error;
};
using AddFromBrowser = std::function<AdditionResult(const BrowserAddition&)>;

// True for an absolute http or https address with a host and no blank or control character.
bool isWebAddress(std::string_view address);

// The answer (JSON text) to one message's bytes.
std::string answerNativeMessage(std::string_view message, const AddFromBrowser& add);

// Reads messages until the input ends, answering each; 0 when the input ended between
// messages, 1 when it ended inside one or a message was too large.
int serveNativeMessages(std::istream& in, std::ostream& out, const AddFromBrowser& add);

// Raises the running Zenvira's Downloads window, starting Zenvira with it open when none runs:
// `zenvira --downloads` from the application folder, detached, its standard streams the null
// device, so the browser's pipe is not held and the answer is not held back. Nothing starts
// while ZENVIRA_NO_GUI_START is set (to anything but 0): tests and headless machines.
bool guiStartWanted();
void showDownloadsWindow();

// The host as `zenvira-cli native-host` runs it on standard input and output.
int runNativeHost(const std::optional<std::string>& queueOption);

}  // namespace zenvira::cli
