#pragma once
// For a front without windows: while a MessageLines lives, every message box of the program
// becomes one call with its title and text, answered with OK.
#include <functional>
#include <string>

namespace zenvira::app {

class MessageLines {
public:
    using Sink = std::function<void(const std::string& title, const std::string& text)>;
    explicit MessageLines(Sink sink);
    ~MessageLines();
    MessageLines(const MessageLines&) = delete;
    MessageLines& operator=(const MessageLines&) = delete;
};

}  // namespace zenvira::app
