#include "app/cli/download_command.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/cli/command_line.h"
#include "app/cli/json_writer.h"
#include "app/cli/printable_text.h"
#include "app/cli/terminal_view.h"
#include "app/download_session.h"
#include "base/quality.h"
#include "base/text_ops.h"
#include "engine/stream/stream_server.h"
#include "platform/program_lookup.h"
#include "platform/relayed_child.h"
#include "platform/terminal.h"

namespace zenvira::cli {

namespace {

bool interrupted() { return platform::interruptRequested(); }

// One JSON object a line on stdout, written whole and flushed, so a reader never sees half.
void jsonLine(const JsonObject& object) {
    std::cout << object.str() << "\n" << std::flush;
}

// What the person (or the script) sees: the terminal view unless quiet or JSON, batch rows
// reported as they end, and JSON lines for progress and outcomes.
class CliView : public app::MainView {
public:
    CliView(const DownloadOptions& options, std::vector<std::string> rows)
        : options_(options), rows_(std::move(rows)) {}

    void setStatusText(const std::string& text) override {
        if (human()) terminal_.setStatusText(text);
    }
    void setCaption(const std::string& caption) override {
        if (human()) terminal_.setCaption(caption);
    }
    void setQualityButtonEnabled(int, bool) override {}
    void showProgressView(const app::ProgressView& view) override {
        if (human()) terminal_.showProgressView(view);
    }
    char decimalSeparator() const override { return '.'; }
    void markBatchRow(std::size_t row, app::BatchRowOutcome outcome, const std::string& reason,
                      const std::string& savedFile) override {
        rowsMarked_ = row + 1;
        const std::string& address = row < rows_.size() ? rows_[row] : std::string();
        if (outcome == app::BatchRowOutcome::Saved) {
            ++rowsSaved_;
            saved(address, savedFile);
        } else {
            failed(address, reason.empty() ? "Not saved" : reason);
        }
    }

    // The address whose job runs now: the one download's, or the batch row after the last marked.
    std::string currentAddress() const {
        if (!single_.empty()) return single_;
        return rowsMarked_ < rows_.size() ? rows_[rowsMarked_] : std::string();
    }
    void setSingleAddress(const std::string& address) { single_ = address; }

    void progress(const app::ProgressFigures& figures) {
        if (!options_.json) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress_ < std::chrono::milliseconds(250)) return;  // a few times a second
        lastProgress_ = now;
        jsonLine(JsonObject()
                     .add("event", jsonString("progress"))
                     .add("address", jsonString(currentAddress()))
                     .add("received", std::to_string(figures.BytesDone))
                     .add("total", std::to_string(figures.BytesTotal))
                     .add("rate", std::to_string(static_cast<std::int64_t>(figures.BytesPerSecond))));
    }
    void saved(const std::string& address, const std::string& file) {
        if (options_.json) {
            jsonLine(JsonObject().add("event", jsonString("saved")).add("address", jsonString(address)).add("file", jsonString(file)));
        } else if (!options_.quiet) {
            terminal_.finishLine();
            std::cout << printableLine("Saved " + file) << "\n" << std::flush;
        }
    }
    void failed(const std::string& address, const std::string& reason) {
        terminal_.finishLine();
        if (options_.json)
            jsonLine(JsonObject().add("event", jsonString("failed")).add("address", jsonString(address)).add("reason", jsonString(reason)));
        std::cerr << printableLine("Failed " + address + ": " + reason) << "\n" << std::flush;
    }
    // A download that saved its file with a warning says so; a person may want to look.
    void warned(const std::string& reason) {
        if (!human()) return;
        terminal_.finishLine();
        std::cerr << printableLine("Completed with some warnings: " + reason) << "\n" << std::flush;
    }
    void finishLine() { terminal_.finishLine(); }
    bool allRowsSaved() const { return rowsSaved_ == rows_.size(); }

private:
    bool human() const { return !options_.quiet && !options_.json; }

    const DownloadOptions& options_;
    std::vector<std::string> rows_;
    std::string single_;
    std::size_t rowsMarked_ = 0;
    std::size_t rowsSaved_ = 0;
    TerminalView terminal_;
    std::chrono::steady_clock::time_point lastProgress_{};
};

app::SessionSettings settingsOf(const DownloadOptions& options) {
    app::SessionSettings settings;
    if (options.connections) settings.connections.connections = *options.connections;
    if (options.limitRate) settings.connections.maxBytesPerSecond = *options.limitRate;
    return settings;
}

// A download session with a terminal for a window. Ctrl-C stops the running download, as the
// Stop button does, so its .part stays for a later resume. How each download and page read
// ended comes from the session's events; the window's message boxes go unseen.
class Session {
public:
    Session(const DownloadOptions& options, std::vector<std::string> rows = {})
        : view(options, std::move(rows)), session(view, settingsOf(options)), workflow(session.workflow()) {
        session.onProgress([this](const app::ProgressFigures& figures) { view.progress(figures); });
        session.onDownloadEnded([this](const app::DownloadEnded& ended) {
            lastReason = ended.reason;
            if (ended.outcome == components::JobOutcome::CompletedWithWarnings) view.warned(ended.reason);
        });
        session.onPageFailed(
            [this](const app::PageFailed& failed) { lastReason = "Could not read the page: " + failed.reason; });
        workflow.setSubtitleLanguages(options.subtitles);
        platform::catchInterrupts();
        QObject::connect(&interruptWatch_, &QTimer::timeout, [this] {
            if (interrupted()) session.Stop();
        });
        interruptWatch_.start(100);
    }

    // Where files go: -o as a folder (made when missing) or a file; false with the reason on
    // stderr when the folder cannot be made.
    bool placeOutput(const DownloadOptions& options, bool fileAllowed) {
        if (!options.output) return true;
        std::error_code ignored;
        const auto target = outputTarget(*options.output, std::filesystem::current_path(ignored).string(), fileAllowed);
        std::string error;
        if (!session.setFolder(target.folder, error)) {
            std::cerr << "Cannot make the folder " << target.folder << ": " << error << "\n";
            return false;
        }
        if (!target.fileName.empty()) workflow.setFileName(target.fileName);
        return true;
    }

    std::string lastReason;  // why the last download or page read failed
    CliView view;
    app::DownloadSession session;
    app::DownloadWorkflow& workflow;

private:
    QTimer interruptWatch_;
};

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

// How the one download of a page ended, told the way the options ask.
int finishDownload(Session& session, const std::string& address) {
    session.view.finishLine();
    if (!session.session.allSaved(1) || interrupted()) {
        session.view.failed(address, interrupted()                 ? std::string("Stopped")
                                     : !session.lastReason.empty() ? session.lastReason
                                                                   : std::string("Not saved"));
        return 1;
    }
    session.view.saved(address, session.session.savedFiles().back());
    return 0;
}

// How long the stream goes on after the download when no player is run: a player that read
// the end of the file a moment ago may still ask for something. A player still connected
// (paused, or held up) is waited for as well.
constexpr auto kServeAfterLastRequest = std::chrono::seconds(5);

// --serve and --player: the download's address is told before its first byte is asked for,
// the player is started on it, and the serving goes on after the download as long as needed.
class ServedDownload {
public:
    ServedDownload(const DownloadOptions& options, std::string address)
        : options_(options), address_(std::move(address)) {}

    bool start(app::DownloadSession& session) {
        std::string error;
        if (!session.serveDownloads(error)) {
            std::cerr << printableLine("Cannot serve the download: " + error) << "\n" << std::flush;
            return false;
        }
        server_ = session.streamServer();
        session.onServing([this](const std::string& url) { tell(url); });
        return true;
    }

    // After the download: waits for the player, or until no request came for a while.
    void finish() {
        if (!server_) return;
        if (playerStarted_) {
            player_.wait();
            return;
        }
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            const bool quiet = server_->requestsInProgress() == 0 && server_->connectionsOpen() == 0 &&
                               std::chrono::steady_clock::now() - server_->lastRequest() >= kServeAfterLastRequest;
            if (quiet || interrupted()) loop.quit();
        });
        look.start(100);
        loop.exec();
    }

private:
    void tell(const std::string& url) {
        if (options_.json)
            jsonLine(JsonObject().add("serving", jsonString(url)).add("address", jsonString(address_)));
        else
            std::cerr << "Serving " << url << "\n" << std::flush;
        if (options_.player.empty() || playerStarted_) return;
        const std::string program = platform::findProgram(options_.player.front());
        std::vector<std::string> arguments(options_.player.begin() + 1, options_.player.end());
        arguments.push_back(url);
        std::string error;
        if (program.empty()) error = "not found";
        if (program.empty() || !player_.start(program, arguments, false, error)) {
            std::cerr << printableLine("Cannot start the player " + options_.player.front() + ": " + error) << "\n"
                      << std::flush;
            return;
        }
        playerStarted_ = true;
    }

    const DownloadOptions& options_;
    std::string address_;
    const components::StreamServer* server_ = nullptr;
    platform::relay::ChildProcess player_;
    bool playerStarted_ = false;
};

// The outcome is told as soon as the download ends; a player may go on reading after it.
int servedOn(Session& session, const std::string& address, ServedDownload& served) {
    const int code = finishDownload(session, address);
    served.finish();
    return code;
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
    session.view.setSingleAddress(address);
    if (!session.placeOutput(options, true)) return 1;
    ServedDownload served(options, address);
    if (options.serve && !served.start(session.session)) return 1;
    session.workflow.Extract(address);
    const auto& List4 = session.workflow.List4();
    if (List4.empty()) {  // the page could not be read
        session.view.failed(address, session.lastReason.empty() ? "The page could not be read" : session.lastReason);
        return 1;
    }
    if (options.audioOnly) {
        if (!session.workflow.AudioDownload()) {
            session.view.failed(address, "This page offers no sound apart from its video");
            return 1;
        }
        return servedOn(session, address, served);
    }
    const auto button = chooseButton(List4, options);
    if (!button) {
        session.view.failed(address, (options.quality ? std::to_string(*options.quality) + " is not offered by this page"
                                                      : std::string("This page offers no video to download")) +
                                         " (offered: " + offeredQualities(List4) + ")");
        return 1;
    }
    session.workflow.QualityDownload(*button);
    return servedOn(session, address, served);
}

int runBatch(const std::string& listFile, const DownloadOptions& options) {
    std::ostringstream text;
    if (listFile == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(listFile, std::ios::binary);
        if (!file) {
            std::cerr << "Cannot read the batch file " << listFile << "\n";
            return 1;
        }
        text << file.rdbuf();
    }
    const auto rows = readBatchFile(text.str());
    Session session(options, rows);
    if (!session.placeOutput(options, false)) return 1;
    session.workflow.BatchDownload(rows);
    session.view.finishLine();
    return session.view.allRowsSaved() && !interrupted() ? 0 : 1;
}

}  // namespace zenvira::cli
