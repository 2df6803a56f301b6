// The download session both fronts drive: told a folder, it saves there and says where each
// file went; without one, files go to the drive folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/download_session.h"
#include "tests/app/workflow_fixture.h"

using namespace zenvira;
using namespace zenvira::testing;

namespace {

using Strings = std::vector<std::string>;

TEST_F(WorkflowTest, ASessionSavesInTheFolderItIsToldAndSaysWhere) {
    const auto address = addPage("sessionPg01", "Harbour", {{"34", "640x360"}, {"18", "320x240"}});
    // A folder that is not there yet, given relative to the working folder as on a command line.
    const auto oldWorking = std::filesystem::current_path();
    std::filesystem::current_path(drive);
    app::SessionSettings settings;
    settings.folder = "out/videos";
    app::DownloadSession session(view, settings);
    std::filesystem::current_path(oldWorking);

    session.workflow().Extract(address);
    session.workflow().QualityDownload(3);
    const auto saved = drive / "out" / "videos" / "Harbour.flv";
    EXPECT_EQ(session.savedFiles(), Strings{saved.string()});
    EXPECT_TRUE(std::filesystem::exists(saved));
    EXPECT_TRUE(session.allSaved(1));
    EXPECT_FALSE(session.allSaved(2));  // a job that never ran is no saved file
}

TEST_F(WorkflowTest, ASessionWithoutAFolderSavesInTheDriveFolderAndCountsFailures) {
    const auto good = addPage("sessionPg02", "Good", {{"18", "320x240"}});
    const auto gone = addPage("sessionPg03", "Gone", {{"18", "320x240"}}, {.size = 1000, .status = 404});
    app::DownloadSession session(view, {});
    // What a front hears, as data: each download's outcome, reason and file, each unread page.
    Strings heard;
    session.onDownloadEnded([&](const app::DownloadEnded& ended) {
        heard.push_back(std::to_string(components::processCompletedCode(ended.outcome)) + " " + ended.reason + " " +
                        ended.savedPath);
    });
    session.onPageFailed([&](const app::PageFailed& failed) { heard.push_back(failed.address + " " + failed.reason); });
    const std::string unread = "http://www.youtube.com/watch?v=notThere001";
    session.workflow().BatchDownload({good, gone, unread});
    EXPECT_EQ(session.savedFiles(), Strings{(drive / "Good.flv").string()});
    EXPECT_FALSE(session.allSaved(2));
    EXPECT_EQ(heard, (Strings{"1  " + (drive / "Good.flv").string(), "2 HTTP 404 Not Found ",
                              unread + " HTTP 404 Not Found"}));
}

}  // namespace
