// Compiled into every test binary: no test reads or writes the user's own host memory (the
// connection counts remembered for the servers seen lately), nor do the programs it starts,
// which inherit the environment. A test that wants one points it at a file of its own.
// Set before main, so before any download asks for the memory.
#include <cstdlib>

namespace {

const bool hostsForgotten = [] {
#ifdef _WIN32
    if (!std::getenv("ZENVIRA_HOSTS")) _putenv_s("ZENVIRA_HOSTS", "");
#else
    setenv("ZENVIRA_HOSTS", "", 0);  // an explicit ZENVIRA_HOSTS stands
#endif
    return true;
}();

}  // namespace
