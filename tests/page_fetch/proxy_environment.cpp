#include "tests/page_fetch/proxy_environment.h"

#include <cstdlib>

namespace zenvira::tests {
namespace {

constexpr const char* kProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                           "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

}  // namespace

ProxyEnvironment::ProxyEnvironment() {
    for (const char* name : kProxyVariables) {
        const char* value = std::getenv(name);
        saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        unsetenv(name);
    }
}

ProxyEnvironment::ProxyEnvironment(const std::string& proxyAddress) : ProxyEnvironment() {
    setenv("http_proxy", proxyAddress.c_str(), 1);
}

ProxyEnvironment::~ProxyEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

}  // namespace zenvira::tests
