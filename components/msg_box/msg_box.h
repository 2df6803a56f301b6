#pragma once
// The one seam every message box goes through. The GUI installs a handler that shows a real
// dialog; tests install a recorder that reads what a person would see and answers it; the
// command line prints the message. Styles and answers use the classic message-box numbers.
#include <functional>
#include <string>

namespace zenvira::components {

namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
}  // namespace MsgBoxStyle

namespace MsgBoxResult {
constexpr int Ok = 1;
}  // namespace MsgBoxResult

using MsgBoxHandler = std::function<int(const std::string& text, int style, const std::string& title)>;

// Shows a message through the installed handler and returns the button pressed.
int msgBox(const std::string& text, int style, const std::string& title);

// Installs a handler and returns the one it replaces (an empty handler answers Ok silently).
MsgBoxHandler setMsgBoxHandler(MsgBoxHandler handler);

}  // namespace zenvira::components
