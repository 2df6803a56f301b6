#pragma once
// Starts a program that lives on by itself: not a child the caller waits for, no shell, its
// standard input, output and error the null device (so a pipe the caller was given, such as a
// browser's native-messaging pipe, is not held open by it), in a session of its own (POSIX)
// or without a console (Windows), so that the caller's end does not end it.
#include <string>
#include <vector>

namespace zenvira::platform {

// Starts `program` (its full path) with `arguments`, each one argument as it is. False, with
// the system's reason in `error`, when it cannot be started.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments, std::string& error);

}  // namespace zenvira::platform
