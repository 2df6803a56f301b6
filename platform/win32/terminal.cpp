#include "platform/terminal.h"

#include <io.h>
#include <windows.h>

#include <atomic>

namespace zenvira::platform {

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    interrupted = true;
    return TRUE;
}

}  // namespace

bool isTerminal(std::FILE* stream) { return stream && ::_isatty(::_fileno(stream)) != 0; }

void catchInterrupts() { ::SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

bool interruptRequested() { return interrupted; }

}  // namespace zenvira::platform
