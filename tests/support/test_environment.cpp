// Compiled into every test binary, and inherited by the programs a test starts. No test reads
// or writes the user's own host memory (the connection counts remembered for the servers seen
// lately): a test that wants one points it at a file of its own. And no test bypasses the
// fixture site's proxy for a host the machine's no_proxy names: every address a test gives
// goes to the fixture site. Set before main, so before any download or page read.
#include <cstdlib>

namespace {

const bool testEnvironmentSet = [] {
#ifdef _WIN32
    if (!std::getenv("ZENVIRA_HOSTS")) _putenv_s("ZENVIRA_HOSTS", "");
    _putenv_s("no_proxy", "");
    _putenv_s("NO_PROXY", "");
#else
    setenv("ZENVIRA_HOSTS", "", 0);  // an explicit ZENVIRA_HOSTS stands
    setenv("no_proxy", "", 1);
    setenv("NO_PROXY", "", 1);
#endif
    return true;
}();

}  // namespace
