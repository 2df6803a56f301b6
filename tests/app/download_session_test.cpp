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
    session.workflow().BatchDownload({good, gone});
    EXPECT_EQ(session.savedFiles(), Strings{(drive / "Good.flv").string()});
    EXPECT_FALSE(session.allSaved(2));
}

}  // namespace
