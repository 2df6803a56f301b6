#include "platform/terminal.h"

#include <unistd.h>

#include <csignal>

namespace zenvira::platform {

namespace {

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

}  // namespace

bool isTerminal(std::FILE* stream) { return stream && ::isatty(::fileno(stream)) != 0; }

void catchInterrupts() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

bool interruptRequested() { return interrupted != 0; }

}  // namespace zenvira::platform
