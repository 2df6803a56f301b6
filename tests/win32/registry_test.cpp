// The eight registry steps of the .flv association, carried out by the Windows backend and
// read back with the system's own reg.exe, as a person checking the machine would.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_association.h"
#include "player/association/register_file_type.h"
#include "tests/win32/win32_support.h"

namespace zenvira::win32test {
namespace {

const std::string kFileExts = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::string kExe = "C:\\Program Files\\Player\\zenvira.exe";

// reg query's listing of one key (/ve: its default value; /v NAME: one value).
std::string regQuery(const std::string& key, const std::string& which) {
    const Captured run = runCaptured("reg.exe query \"" + key + "\" " + which);
    return run.exitCode == 0 ? run.output : "(reg query failed: " + run.output + ")";
}

// Whether reg's listing shows `name` as a string value holding exactly `data`.
bool holds(const std::string& listing, const std::string& name, const std::string& data) {
    for (std::size_t start = 0; start < listing.size();) {
        auto end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        std::string line = listing.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        const auto type = line.find("    REG_SZ    ");
        if (type != std::string::npos) {
            const auto nameStart = line.find_first_not_of(' ');
            if (line.substr(nameStart, type - nameStart) == name && line.substr(type + 14) == data) return true;
        }
        start = end + 1;
    }
    return false;
}

int countValues(const std::string& listing) {
    int values = 0;
    for (std::size_t at = listing.find("REG_SZ"); at != std::string::npos; at = listing.find("REG_SZ", at + 1)) ++values;
    return values;
}

TEST(Win32Registry, TheEightStepsLeaveTheAssociationAsTheShellReadsIt) {
    std::string error;
    platform::registryDelete(kFileExts + ".flv\\", error);  // a clean profile, whatever ran before
    // An earlier choice of the user's, which the association replaces.
    ASSERT_TRUE(platform::registryWrite(kFileExts + ".flv\\OpenWithList\\b", "C:\\Other\\player.exe", error)) << error;

    auto steps = player::RegisterFileType(".flv", "image", kExe);
    ASSERT_EQ(steps.size(), 8u);
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 7u}) EXPECT_TRUE(steps[i].done) << steps[i].step << steps[i].error;
    EXPECT_FALSE(steps[4].done);  // no Application value to delete on a clean profile
    EXPECT_FALSE(steps[4].error.empty());

    // A second load finds everything there and rewrites it the same way.
    steps = player::RegisterFileType(".flv", "image", kExe);
    for (const auto& step : steps) EXPECT_TRUE(step.done) << step.step << step.error;

    EXPECT_TRUE(holds(regQuery("HKCR\\.flv", "/ve"), "(Default)", "image"));
    EXPECT_TRUE(holds(regQuery("HKCR\\image", "/ve"), "(Default)", "QV file"));
    EXPECT_TRUE(holds(regQuery("HKCR\\image\\DefaultIcon", "/ve"), "(Default)", kExe));
    EXPECT_TRUE(holds(regQuery("HKCR\\image\\shell\\open\\command", "/ve"), "(Default)", kExe + " %L"));
    EXPECT_TRUE(holds(regQuery(kFileExts + ".flv", "/v Application"), "Application", kExe));
    const std::string openWith = regQuery(kFileExts + ".flv\\OpenWithList", "");
    EXPECT_TRUE(holds(openWith, "a", kExe)) << openWith;
    EXPECT_EQ(countValues(openWith), 1) << openWith;
}

TEST(Win32Registry, WritesAndDeletesReportTheSystemsReason) {
    std::string error;
    EXPECT_FALSE(platform::registryWrite("HKXX\\Software\\x", "v", error));
    EXPECT_EQ(error, "Not a registry path: HKXX\\Software\\x");
    EXPECT_FALSE(platform::registryDelete("HKCU\\", error));
    EXPECT_EQ(error, "A registry root cannot be deleted");

    const std::string key = "HKCU\\Software\\Zenvira Tests\\Delete me\\";
    ASSERT_TRUE(platform::registryWrite(key + "inner\\value", "x", error)) << error;
    ASSERT_TRUE(platform::registryWrite("HKEY_CURRENT_USER\\Software\\Zenvira Tests\\Delete me\\", "default", error));
    EXPECT_TRUE(holds(regQuery("HKCU\\Software\\Zenvira Tests\\Delete me", "/ve"), "(Default)", "default"));
    EXPECT_TRUE(platform::registryDelete(key, error)) << error;
    EXPECT_EQ(runCaptured("reg.exe query \"HKCU\\Software\\Zenvira Tests\\Delete me\"").exitCode, 1);
    error.clear();
    EXPECT_FALSE(platform::registryDelete(key + "gone value", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace zenvira::win32test
