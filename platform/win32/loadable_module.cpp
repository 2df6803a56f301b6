#include "platform/loadable_module.h"

#include "platform/win32/utf16.h"

namespace zenvira::platform {

LoadedModule loadModule(const std::string& path) {
    LoadedModule module;
    // The module's own folder is searched for the DLLs it needs, as beside a program.
    HMODULE handle = ::LoadLibraryExW(win32::wide(path).c_str(), nullptr,
                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!handle) module.error = path + ": " + win32::systemReason(::GetLastError());
    module.handle = handle;
    return module;
}

void* moduleFunction(const LoadedModule& module, const char* name) {
    if (!module.handle) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module.handle), name));
}

}  // namespace zenvira::platform
