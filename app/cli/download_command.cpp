#include "app/cli/download_command.h"

#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/button_map.h"
#include "app/cli/terminal_view.h"
#include "app/download_names.h"
#include "app/download_workflow.h"
#include "components/downloader/downloader.h"
#include "components/msg_box/msg_box.h"
#include "base/quality.h"
#include "base/text_ops.h"
#include "platform/path_mapping.h"

namespace zenvira::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

// The workflow with a terminal for a window. Ctrl-C stops the running download, as the
// Stop button does, so its .part stays for a later resume.
class Session {
public:
    explicit Session(const DownloadOptions& options) {
        if (options.folder) setenv("ZENVIRA_DRIVE_C", options.folder->c_str(), 1);
        components::setMsgBoxHandler([this](const std::string& text, int, const std::string& title) {
            view.finishLine();
            std::cerr << title << ": " << text << "\n";
            return components::MsgBoxResult::Ok;
        });
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        QObject::connect(&interruptWatch_, &QTimer::timeout, [this] {
            if (interrupted) workflow.Stop();
        });
        interruptWatch_.start(100);
    }
    ~Session() { components::setMsgBoxHandler({}); }

    TerminalView view;
    components::clDownLoader downloader;
    app::DownloadWorkflow workflow{view, downloader};

private:
    QTimer interruptWatch_;
};

bool saved(const app::JobRecord& job) { return job.outcome && components::fileSaved(*job.outcome); }

// Prints where each job's file is and tells whether every one was saved.
bool reportJobs(Session& session, std::size_t expected) {
    session.view.finishLine();
    const auto& jobs = session.workflow.jobs();
    bool allSaved = jobs.size() == expected;
    for (const auto& job : jobs) {
        if (saved(job))
            std::cout << "Saved " << platform::mapLocalTarget(app::kLocalFolder, job.fileName).path << "\n";
        else
            allSaved = false;
    }
    return allSaved && !interrupted;
}

std::string offeredQualities(const std::vector<std::string>& List4) {
    std::string list;
    for (std::size_t k = 0; k < List4.size(); ++k)
        if (base::offeredEntry(List4[k])) list += (list.empty() ? "" : ", ") + std::to_string(base::kQualities[k].height);
    return list.empty() ? "none" : list;
}

// The button to press: the one asked for, else the best offered.
std::optional<int> chooseButton(const std::vector<std::string>& List4, const DownloadOptions& options) {
    if (options.quality) {
        const auto k = qualityButtonOf(*options.quality);
        if (k && List4.size() > static_cast<std::size_t>(*k) && base::offeredEntry(List4[static_cast<std::size_t>(*k)]))
            return k;
        return std::nullopt;
    }
    for (std::size_t k = 0; k < List4.size(); ++k)
        if (base::offeredEntry(List4[k])) return static_cast<int>(k);
    return std::nullopt;
}

}  // namespace

std::optional<int> qualityButtonOf(int height) { return base::qualityIndexOfHeight(height); }

std::vector<std::string> readBatchFile(const std::string& text) {
    std::vector<std::string> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = text::trimBlanks(line);
        if (!line.empty() && line[0] != '#') rows.push_back(line);
    }
    return rows;
}

int runDownload(const std::string& address, const DownloadOptions& options) {
    Session session(options);
    session.workflow.Extract(address);
    const auto& List4 = session.workflow.List4();
    if (List4.empty()) return 1;  // the page could not be read; the reason is on screen
    const auto button = chooseButton(List4, options);
    if (!button) {
        std::cerr << (options.quality ? std::to_string(*options.quality) + " is not offered by this page"
                                      : std::string("This page offers no video to download"))
                  << " (offered: " << offeredQualities(List4) << ")\n";
        return 1;
    }
    session.workflow.QualityDownload(*button);
    return reportJobs(session, 1) ? 0 : 1;
}

int runBatch(const std::string& listFile, const DownloadOptions& options) {
    std::ifstream file(listFile, std::ios::binary);
    if (!file) {
        std::cerr << "Cannot read the batch file " << listFile << "\n";
        return 1;
    }
    std::ostringstream text;
    text << file.rdbuf();
    const auto rows = readBatchFile(text.str());
    Session session(options);
    session.workflow.BatchDownload(rows);
    return reportJobs(session, rows.size()) ? 0 : 1;
}

}  // namespace zenvira::cli
