#include "platform/loadable_module.h"

#include "platform/win32/utf16.h"

namespace zenvira::platform {

LoadedModule loadModule(const std::string& path) {
    LoadedModule module;
    // A module given by its path finds the DLLs it needs in its own folder, as a program does
    // beside itself; the current folder is never searched.
    const bool hasFolder = path.find_first_of("\\/") != std::string::npos;
    const DWORD search = LOAD_LIBRARY_SEARCH_DEFAULT_DIRS | (hasFolder ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR : 0);
    HMODULE handle = ::LoadLibraryExW(win32::wide(path).c_str(), nullptr, search);
    if (!handle) module.error = path + ": " + win32::systemReason(::GetLastError());
    module.handle = handle;
    return module;
}

void* moduleFunction(const LoadedModule& module, const char* name) {
    if (!module.handle) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module.handle), name));
}

}  // namespace zenvira::platform
