#include "platform/loadable_module.h"

#include <dlfcn.h>

namespace zenvira::platform {

LoadedModule loadModule(const std::string& path) {
    LoadedModule module;
    // RTLD_LOCAL: the module's libraries stay out of the program's own symbol lookups.
    module.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module.handle) {
        const char* reason = ::dlerror();
        module.error = reason ? reason : path + ": could not be loaded";
    }
    return module;
}

void* moduleFunction(const LoadedModule& module, const char* name) {
    return module.handle ? ::dlsym(module.handle, name) : nullptr;
}

}  // namespace zenvira::platform
