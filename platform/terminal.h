#pragma once
// The terminal a command-line front talks to: whether an output stream is one (a progress bar
// redraws its line only there), and Ctrl-C or a termination request turned into a flag the
// front polls from its event loop, so a download stops the way the Stop button stops it.
#include <cstdio>

namespace zenvira::platform {

// True when the stream is an interactive terminal (a console on Windows).
bool isTerminal(std::FILE* stream);

// From now on an interrupt (Ctrl-C, SIGINT, SIGTERM; Ctrl-C and Ctrl-Break on Windows) no
// longer ends the process but raises the flag interruptRequested() reads.
void catchInterrupts();
bool interruptRequested();

}  // namespace zenvira::platform
