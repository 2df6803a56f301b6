#pragma once
// Puts the process's proxy variables into a known state for one test and restores them.
#include <map>
#include <optional>
#include <string>

namespace zenvira::tests {

class ProxyEnvironment {
public:
    // No proxy at all (whatever the shell that started the test had set).
    ProxyEnvironment();
    // Plain-http requests go to proxyAddress; nothing is exempt.
    explicit ProxyEnvironment(const std::string& proxyAddress);
    ~ProxyEnvironment();
    ProxyEnvironment(const ProxyEnvironment&) = delete;
    ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace zenvira::tests
