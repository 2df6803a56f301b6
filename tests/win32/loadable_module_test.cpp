// Modules opened while the program runs, through the Windows backend.
#include <gtest/gtest.h>

#include <string>

#include "platform/loadable_module.h"
#include "tests/win32/win32_support.h"

namespace zenvira::win32test {
namespace {

TEST(Win32LoadableModule, ASystemLibraryLoadsByNameAndGivesOnlyTheFunctionsItHas) {
    const auto kernel = platform::loadModule("kernel32.dll");
    ASSERT_NE(kernel.handle, nullptr) << kernel.error;
    EXPECT_NE(platform::moduleFunction(kernel, "GetTickCount"), nullptr);
    EXPECT_EQ(platform::moduleFunction(kernel, "NoSuchFunctionAnywhere"), nullptr);
}

TEST(Win32LoadableModule, AMissingModuleIsRefusedWithItsPathAndTheSystemsReasonOnOneLine) {
    // Greek and Japanese in the folder: the path must come back as it went in.
    TestFolder folder("Modules \xCE\xA9 \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    const std::string missing = folder.file("zenvira-media.dll");
    const auto module = platform::loadModule(missing);
    EXPECT_EQ(module.handle, nullptr);
    EXPECT_EQ(module.error.rfind(missing + ": ", 0), 0u) << module.error;
    EXPECT_GT(module.error.size(), missing.size() + 2);
    EXPECT_EQ(module.error.find('\n'), std::string::npos) << module.error;
    EXPECT_EQ(platform::moduleFunction(module, "anything"), nullptr);
}

}  // namespace
}  // namespace zenvira::win32test
