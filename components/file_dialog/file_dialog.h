#pragma once
// The seam every Open dialog goes through, beside the message-box seam. The GUI installs a
// handler that shows a real dialog; tests install a recorder that reads what the dialog was
// asked to show and answers with a chosen path, or with nothing for Cancel.
#include <functional>
#include <string>

namespace zenvira::components {

// What an Open dialog shows, in the terms of the classic common dialog.
struct OpenFileDialogRequest {
    std::string title;             // empty: the system's own title
    std::string initialFolder;     // empty: the dialog's own choice
    // Pairs of description and patterns, all separated by "|":
    // "Flash video file (*.flv)|*.flv|All files|*.*". Several patterns in one pair: "*.a;*.b".
    std::string filter;
    // More pairs in the same form, offered after the first pair of `filter`: the containers of
    // today beside a window's classic choice.
    std::string moreFilter;
    std::string defaultExtension;  // without the dot; added to a typed name that has none
    std::string fileName;          // the name shown when the dialog opens
    bool chooseFolder = false;     // a folder is chosen instead of a file (no filter)
};

// Every container FFmpeg's libraries read that a download or a conversion of today gives,
// as one filter pair.
inline constexpr const char* kMediaFilesFilter =
    "Video and sound files (*.flv;*.mp4;*.m4v;*.webm;*.mkv;*.mov;*.ts;*.m2ts;*.avi;*.3gp;*.ogv;*.m4a;*.mp3;*.aac;"
    "*.opus;*.ogg;*.wav;*.flac)|*.flv;*.mp4;*.m4v;*.webm;*.mkv;*.mov;*.ts;*.m2ts;*.avi;*.3gp;*.ogv;*.m4a;*.mp3;*.aac;"
    "*.opus;*.ogg;*.wav;*.flac";

// The chosen file's full path in UTF-8, or empty text when the dialog was cancelled.
using OpenFileDialogHandler = std::function<std::string(const OpenFileDialogRequest&)>;

// Shows the Open dialog through the installed handler; empty text without one.
std::string showOpenFileDialog(const OpenFileDialogRequest& request);

// Installs a handler and returns the one it replaces.
OpenFileDialogHandler setOpenFileDialogHandler(OpenFileDialogHandler handler);

}  // namespace zenvira::components
