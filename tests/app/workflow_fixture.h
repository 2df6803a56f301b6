#pragma once
// A main window without widgets: the real workflow and downloader, a view that records what
// the window would show, message boxes answered through the seam, and the fixture site
// reached through http_proxy with the video site's own addresses.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/download_workflow.h"
#include "components/downloader/downloader.h"
#include "components/msg_box/msg_box.h"
#include "tests/site/fixture_site.h"
#include "tests/support/application.h"

namespace zenvira::testing {

struct RecordedBox {
    std::string text;
    int style;
    std::string title;
};

class RecordingView : public app::MainView {
public:
    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setCaption(const std::string& text) override { caption = text; }
    void setQualityButtonEnabled(int index, bool on) override { enabled.at(static_cast<std::size_t>(index)) = on; }
    void showProgressView(const app::ProgressView& view) override { progress.push_back(view); }
    char decimalSeparator() const override { return '.'; }
    void markBatchRow(std::size_t row, app::BatchRowOutcome outcome, const std::string& reason,
                      const std::string& savedFile) override {
        if (!savedFile.empty()) savedFiles.push_back(savedFile);
        const char* kind = outcome == app::BatchRowOutcome::Saved    ? "saved"
                           : outcome == app::BatchRowOutcome::Failed ? "failed"
                                                                     : "skipped";
        marks.push_back(std::to_string(row) + " " + kind + (reason.empty() ? "" : ": " + reason));
    }

    std::vector<std::string> statusTexts;
    std::vector<std::string> marks;
    std::vector<std::string> savedFiles;
    std::vector<std::string> endings;
    void downloadsEnded(const std::string& text) override { endings.push_back(text); }
    std::string caption;
    std::array<bool, 5> enabled{};
    std::vector<app::ProgressView> progress;
};

inline QCoreApplication& testApp() { return zenvira::testing::coreApplication(); }

class WorkflowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        drive = std::filesystem::temp_directory_path() /
                ("zenvira-drive-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(drive);
        std::filesystem::create_directories(drive);
        setenv("ZENVIRA_DRIVE_C", drive.c_str(), 1);
        setenv("http_proxy", site.proxyAddress().c_str(), 1);
        components::setMsgBoxHandler([this](const std::string& text, int style, const std::string& title) {
            boxes.push_back({text, style, title});
            if (onBox) onBox();
            return components::MsgBoxResult::Ok;
        });
    }
    void TearDown() override {
        components::setMsgBoxHandler({});
        std::filesystem::remove_all(drive);
    }

    // A watch page at /watch?v=ID offering the given (code, frame size) qualities, each
    // stream served with `stream` and named "ID-CODE".
    std::string addPage(const std::string& id, const std::string& title,
                        std::vector<std::pair<std::string, std::string>> formats, site::StreamShape stream = {}) {
        site::WatchPageShape page{title, {}};
        if (stream.size == 0) stream.size = 64 * 1024;
        for (const auto& [code, size] : formats) {
            page.formats.push_back({code, size, site::streamAddress(id + "-" + code)});
            site.addStream(id + "-" + code, stream);
        }
        site.addWatchPage(id, page);
        return "http://www.youtube.com/watch?v=" + id;
    }

    // Runs `action` from the event loop after `ms`, as a click during a wait would.
    static void later(int ms, std::function<void()> action) { QTimer::singleShot(ms, action); }

    // The file `name` in the drive folder holds the site's stream bytes, `size` of them.
    bool savedWithStreamBytes(const std::string& name, std::uint64_t size) const {
        std::ifstream in(drive / name, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (data.size() != size) return false;
        for (std::uint64_t i = 0; i < size; ++i)
            if (static_cast<std::uint8_t>(data[i]) != site::streamByte(i)) return false;
        return true;
    }

    site::FixtureSite site;
    std::filesystem::path drive;
    RecordingView view;
    components::clDownLoader downloader;
    app::DownloadWorkflow workflow{view, downloader};
    std::vector<RecordedBox> boxes;
    std::function<void()> onBox;
};

}  // namespace zenvira::testing
