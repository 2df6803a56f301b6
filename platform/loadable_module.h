#pragma once
// Shared modules opened while the program runs, for code whose libraries cost too much to load
// at every start and are seldom needed. A module stays loaded until the process ends: nothing
// has to track what still points into it.
#include <string>

namespace zenvira::platform {

struct LoadedModule {
    void* handle = nullptr;  // nullptr when it could not be loaded
    std::string error;       // then the system's reason, one line
};

// Loads the module at `path` (or a library by its bare name, searched where the system keeps
// its libraries) with the libraries it needs, resolving all of them now, so that a missing
// library shows here and not as a crash on a later call.
LoadedModule loadModule(const std::string& path);

// The address of the function `name` that the module exports, or nullptr.
void* moduleFunction(const LoadedModule& module, const char* name);

}  // namespace zenvira::platform
