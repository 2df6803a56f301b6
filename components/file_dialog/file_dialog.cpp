#include "components/file_dialog/file_dialog.h"

#include <utility>

namespace zenvira::components {

namespace {
OpenFileDialogHandler& installedHandler() {
    static OpenFileDialogHandler handler;
    return handler;
}
}  // namespace

std::string showOpenFileDialog(const OpenFileDialogRequest& request) {
    // Copied so a handler may replace itself while it runs.
    const OpenFileDialogHandler handler = installedHandler();
    return handler ? handler(request) : std::string();
}

OpenFileDialogHandler setOpenFileDialogHandler(OpenFileDialogHandler handler) {
    return std::exchange(installedHandler(), std::move(handler));
}

}  // namespace zenvira::components
