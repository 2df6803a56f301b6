#include "app/cli/queue_command.h"

#include <QCommandLineParser>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/cli/command_line.h"
#include "app/cli/download_command.h"
#include "app/cli/json_writer.h"
#include "app/cli/printable_text.h"
#include "app/page_reader.h"
#include "base/quality.h"
#include "platform/terminal.h"
#include "queue/page_entries.h"
#include "queue/partial_files.h"
#include "queue/queue_path.h"
#include "queue/queue_runner.h"
#include "queue/queue_store.h"

namespace zenvira::cli {

namespace {

using queue::Entry;
using queue::EntryId;
using queue::QueueStore;

constexpr const char* kUsage =
    "Usage: zenvira-cli queue add [--quality N] [-o DIR] [--all] ADDRESS...|-\n"
    "       zenvira-cli queue list [--json]\n"
    "       zenvira-cli queue pause|resume|remove|retry ID...|--all\n"
    "       zenvira-cli queue remove --delete-part ID...|--all\n"
    "       zenvira-cli queue run [--jobs N] [--connections N] [--limit-rate RATE] [--json] [-q]\n"
    "\n"
    "The download queue: entries wait in order and are fetched by one runner, several at once;\n"
    "a run that is cut (Ctrl-C, a crash) goes on from where it was at the next run.\n"
    "\n"
    "  add      Add entries (their ids are printed, one a line); the same address and quality\n"
    "           twice is one entry. --all adds every video of a page that holds several.\n"
    "  list     The entries in order; --json: one object a line.\n"
    "  pause    Stop entries at once, their parts kept; resume lets them wait again.\n"
    "  remove   Take entries out of the queue (their parts stay on the disk); --delete-part\n"
    "           deletes an unfinished one's partial file too (never a saved file).\n"
    "  retry    Let failed entries wait again.\n"
    "  run      Fetch until nothing waits; exit status 0 when all were saved, 1 when some failed.\n"
    "\n"
    "Options:\n"
    "  --queue FILE       The queue file (else $ZENVIRA_QUEUE, else $XDG_DATA_HOME/zenvira/queue.sqlite).\n";

int usageError(const std::string& what) {
    std::cerr << "zenvira-cli queue: " << what << " (see 'zenvira-cli queue --help')\n";
    return 2;
}

void jsonLine(const JsonObject& object) { std::cout << object.str() << "\n" << std::flush; }

std::string entryJson(const Entry& entry) {
    return JsonObject()
        .add("id", std::to_string(entry.id))
        .add("address", jsonString(entry.address))
        .add("state", jsonString(queue::stateName(entry.state)))
        .add("reason", jsonString(entry.reason))
        .add("file", jsonString(entry.file))
        .add("received", std::to_string(entry.received))
        .add("total", std::to_string(entry.total))
        .add("title", jsonString(entry.title))
        .add("page", jsonString(entry.page))
        .add("quality", entry.quality ? std::to_string(entry.quality) : std::string("null"))
        .str();
}

std::string sizeText(std::int64_t bytes) {
    if (bytes < 0) return "?";
    char text[32];
    if (bytes >= 1024 * 1024) std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024) std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else std::snprintf(text, sizeof text, "%lld B", static_cast<long long>(bytes));
    return text;
}

// Reads the ids of a change command, or all the queue's with --all.
bool idsOf(const QStringList& operands, bool all, QueueStore& store, std::vector<EntryId>& ids) {
    if (all) {
        for (const auto& entry : store.list()) ids.push_back(entry.id);
        return true;
    }
    for (const auto& operand : operands) {
        bool ok = false;
        const qlonglong id = operand.toLongLong(&ok);
        if (!ok || id <= 0) return false;
        ids.push_back(id);
    }
    return true;
}

std::unique_ptr<QueueStore> openStore(const std::string& option) {
    auto opened = QueueStore::open(queue::defaultQueuePath(option));
    if (!opened.store) std::cerr << printableLine(opened.error) << "\n";
    return std::move(opened.store);
}

int runAdd(QueueStore& store, QStringList operands, std::optional<int> quality, const std::string& folder, bool all) {
    std::vector<std::string> addresses;
    if (operands.size() == 1 && operands.front() == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        addresses = readBatchFile(text.str());
    } else {
        for (const auto& operand : operands) addresses.push_back(operand.toStdString());
    }
    int status = 0;
    for (const auto& address : addresses) {
        if (!all) {
            const EntryId id = store.add(address, quality.value_or(0), folder);
            if (!id) {
                std::cerr << printableLine(store.lastError()) << "\n";
                return 1;
            }
            std::cout << id << "\n";
            continue;
        }
        const auto found = queue::readPageVideos(address);
        if (found.videos.empty()) {
            std::cerr << printableLine("Failed " + address + ": " + found.error) << "\n";
            status = 1;
            continue;
        }
        for (const EntryId id : queue::addPageVideos(store, address, found.videos, quality.value_or(0), folder)) {
            if (!id) {
                std::cerr << printableLine(store.lastError()) << "\n";
                return 1;
            }
            std::cout << id << "\n";
        }
    }
    return status;
}

int runList(QueueStore& store, bool json) {
    const auto entries = store.list();
    if (!store.lastError().empty()) {
        std::cerr << printableLine(store.lastError()) << "\n";
        return 1;
    }
    for (const auto& entry : entries) {
        if (json) {
            std::cout << entryJson(entry) << "\n";
            continue;
        }
        std::string line = std::to_string(entry.id) + "  " + std::string(queue::stateName(entry.state)) + "  " +
                           sizeText(entry.received) + " of " + sizeText(entry.total) + "  " + entry.address;
        if (!entry.file.empty()) line += "  " + entry.file;
        if (!entry.reason.empty()) line += "  (" + entry.reason + ")";
        std::cout << printableLine(line) << "\n";
    }
    std::cout << std::flush;
    return 0;
}

int runChange(QueueStore& store, const std::string& verb, const std::vector<EntryId>& ids, bool all, bool deletePart) {
    int status = 0;
    for (const EntryId id : ids) {
        const auto entry = store.entry(id);
        if (!entry) {
            std::cerr << "No entry " << id << " in the queue\n";
            status = 1;
            continue;
        }
        const std::vector<EntryId> one{id};
        const int changed = verb == "pause"    ? store.pause(one)
                            : verb == "resume" ? store.resume(one)
                            : verb == "retry"  ? store.retry(one)
                                               : store.remove(one);
        if (changed < 0) {
            std::cerr << printableLine(store.lastError()) << "\n";
            return 1;
        }
        if (changed == 0 && !all)
            std::cerr << "Entry " << id << " is " << queue::stateName(entry->state) << ": nothing to " << verb << "\n";
        std::string error;
        if (changed > 0 && deletePart && entry->state != queue::EntryState::Saved &&
            !queue::removePartialFiles(*entry, error)) {
            std::cerr << printableLine(error) << "\n";
            status = 1;
        }
    }
    return status;
}

// The run's view: Saved and Failed lines as download prints them, a line of figures now and
// then on stderr; or JSON lines.
class RunView {
public:
    RunView(bool json, bool quiet) : json_(json), quiet_(quiet) {}

    queue::RunnerListener listener() {
        queue::RunnerListener listener;
        listener.progress = [this](EntryId id, const std::string& address, const components::DownloadProgress& figures) {
            progress(id, address, figures);
        };
        listener.ended = [this](const Entry& entry) { ended(entry); };
        return listener;
    }

private:
    void progress(EntryId id, const std::string& address, const components::DownloadProgress& figures) {
        if (json_) {
            jsonLine(JsonObject()
                         .add("event", jsonString("progress"))
                         .add("id", std::to_string(id))
                         .add("address", jsonString(address))
                         .add("received", std::to_string(figures.BytesDone))
                         .add("total", std::to_string(figures.BytesTotal))
                         .add("rate", std::to_string(static_cast<std::int64_t>(figures.BytesPerSecond))));
            return;
        }
        if (quiet_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastLine_ < std::chrono::seconds(3)) return;
        lastLine_ = now;
        std::cerr << printableLine("[" + std::to_string(id) + "] " + sizeText(figures.BytesDone) + " of " +
                                   sizeText(figures.BytesTotal) + ", " +
                                   sizeText(static_cast<std::int64_t>(figures.BytesPerSecond)) + "/s  " + address)
                  << "\n";
    }

    void ended(const Entry& entry) {
        if (entry.state == queue::EntryState::Saved) {
            if (json_)
                jsonLine(JsonObject()
                             .add("event", jsonString("saved"))
                             .add("id", std::to_string(entry.id))
                             .add("address", jsonString(entry.address))
                             .add("file", jsonString(entry.file)));
            else if (!quiet_)
                std::cout << printableLine("Saved " + entry.file) << "\n" << std::flush;
        } else if (entry.state == queue::EntryState::Failed) {
            if (json_)
                jsonLine(JsonObject()
                             .add("event", jsonString("failed"))
                             .add("id", std::to_string(entry.id))
                             .add("address", jsonString(entry.address))
                             .add("reason", jsonString(entry.reason)));
            std::cerr << printableLine("Failed " + entry.address + ": " + entry.reason) << "\n" << std::flush;
        } else if (entry.state == queue::EntryState::Waiting && !entry.reason.empty()) {
            if (json_)
                jsonLine(JsonObject()
                             .add("event", jsonString("retry"))
                             .add("id", std::to_string(entry.id))
                             .add("address", jsonString(entry.address))
                             .add("reason", jsonString(entry.reason)));
            else if (!quiet_)
                std::cerr << printableLine("Will try again " + entry.address + ": " + entry.reason) << "\n";
        }
    }

    bool json_, quiet_;
    std::chrono::steady_clock::time_point lastLine_{};
};

int runRun(const std::string& queuePath, queue::RunnerSettings settings, bool json, bool quiet) {
    RunView view(json, quiet);
    queue::QueueRunner runner(queuePath, settings, view.listener());
    platform::catchInterrupts();
    std::atomic<bool> finished{false};
    // Ctrl-C stops the running entries; they wait for the next run.
    std::thread watch([&] {
        while (!finished.load()) {
            if (platform::interruptRequested()) {
                runner.stop();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const auto summary = runner.run();
    finished.store(true);
    watch.join();
    if (!summary.ran) {
        std::cerr << printableLine(summary.error) << "\n";
        return 1;
    }
    return summary.failed == 0 && !summary.stopped ? 0 : 1;
}

}  // namespace

bool isQueueCommand(const QStringList& arguments) {
    // The first word that is no option and no option's value names the command.
    const QStringList withValues = {"-o", "--output", "--quality", "--connections", "--limit-rate", "--queue", "--jobs"};
    for (qsizetype k = 1; k < arguments.size(); ++k) {
        const QString& word = arguments[k];
        if (withValues.contains(word)) {
            ++k;
            continue;
        }
        if (word.startsWith('-') && word != "-") continue;
        return word == "queue";
    }
    return false;
}

int runQueue(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption help{{"h", "help"}, "Show this help."};
    const QCommandLineOption queueFile{"queue", "The queue file.", "FILE"};
    const QCommandLineOption quality{"quality", "The quality.", "HEIGHT"};
    const QCommandLineOption output{{"o", "output"}, "The folder.", "DIR"};
    const QCommandLineOption all{"all", "All."};
    const QCommandLineOption json{"json", "JSON lines."};
    const QCommandLineOption quiet{{"q", "quiet"}, "Quiet."};
    const QCommandLineOption jobs{"jobs", "Entries at once.", "N"};
    const QCommandLineOption connections{"connections", "Connections.", "N"};
    const QCommandLineOption limitRate{"limit-rate", "Rate.", "RATE"};
    const QCommandLineOption deletePart{"delete-part", "Delete the partial file."};
    parser.addOptions({help, queueFile, quality, output, all, json, quiet, jobs, connections, limitRate, deletePart});
    if (!parser.parse(arguments)) return usageError(parser.errorText().toStdString());
    QStringList words = parser.positionalArguments();
    words.removeFirst();  // "queue"
    if (parser.isSet(help) || words.isEmpty()) {
        if (!parser.isSet(help)) return usageError("a queue command is needed: add, list, pause, resume, remove, retry or run");
        std::cout << kUsage;
        return 0;
    }
    const std::string verb = words.takeFirst().toStdString();

    // Each option only where it means something.
    const auto allowed = [&](std::initializer_list<const QCommandLineOption*> options) -> bool {
        for (const auto* option :
             {&quality, &output, &all, &json, &quiet, &jobs, &connections, &limitRate, &deletePart}) {
            bool known = false;
            for (const auto* mine : options) known = known || mine == option;
            if (!known && parser.isSet(*option)) {
                usageError("queue " + verb + " does not take --" + option->names().last().toStdString());
                return false;
            }
        }
        return true;
    };
    const std::string queueOption = parser.value(queueFile).toStdString();

    if (verb == "add") {
        if (!allowed({&quality, &output, &all})) return 2;
        if (words.isEmpty()) return usageError("queue add takes ADDRESS... or -");
        std::optional<int> height;
        if (parser.isSet(quality)) {
            bool ok = false;
            height = parser.value(quality).toInt(&ok);
            if (!ok || !base::qualityIndexOfHeight(*height))
                return usageError("--quality takes " + base::qualityHeightsText() + ", not '" +
                                  parser.value(quality).toStdString() + "'");
        }
        std::string folder;
        if (parser.isSet(output)) {
            std::error_code ignored;
            folder = outputTarget(parser.value(output).toStdString(), std::filesystem::current_path(ignored).string(), false)
                         .folder;
        }
        auto store = openStore(queueOption);
        return store ? runAdd(*store, words, height, folder, parser.isSet(all)) : 1;
    }
    if (verb == "list") {
        if (!allowed({&json})) return 2;
        if (!words.isEmpty()) return usageError("queue list takes no operand");
        auto store = openStore(queueOption);
        return store ? runList(*store, parser.isSet(json)) : 1;
    }
    if (verb == "pause" || verb == "resume" || verb == "remove" || verb == "retry") {
        if (!allowed(verb == "remove" ? std::initializer_list<const QCommandLineOption*>{&all, &deletePart}
                                      : std::initializer_list<const QCommandLineOption*>{&all}))
            return 2;
        if (words.isEmpty() == !parser.isSet(all)) return usageError("queue " + verb + " takes ID... or --all");
        auto store = openStore(queueOption);
        if (!store) return 1;
        std::vector<EntryId> ids;
        if (!idsOf(words, parser.isSet(all), *store, ids)) return usageError("an entry's id is a number, as queue add printed it");
        return runChange(*store, verb, ids, parser.isSet(all), parser.isSet(deletePart));
    }
    if (verb == "run") {
        if (!allowed({&json, &quiet, &jobs, &connections, &limitRate})) return 2;
        if (!words.isEmpty()) return usageError("queue run takes no operand");
        queue::RunnerSettings settings;
        if (parser.isSet(jobs)) {
            bool ok = false;
            settings.jobs = parser.value(jobs).toInt(&ok);
            if (!ok || settings.jobs < 1 || settings.jobs > 16)
                return usageError("--jobs takes 1 to 16, not '" + parser.value(jobs).toStdString() + "'");
        }
        if (parser.isSet(connections)) {
            bool ok = false;
            settings.connections = parser.value(connections).toInt(&ok);
            if (!ok || settings.connections < 1 || settings.connections > 16)
                return usageError("--connections takes 1 to 16, not '" + parser.value(connections).toStdString() + "'");
        }
        if (parser.isSet(limitRate)) {
            const auto rate = parseRate(parser.value(limitRate).toStdString());
            if (!rate) return usageError("--limit-rate takes a rate such as 500K or 2M");
            settings.maxBytesPerSecond = *rate;
        }
        const std::string path = queue::defaultQueuePath(queueOption);
        if (!openStore(path)) return 1;  // says why, before the lock file is made beside it
        return runRun(path, settings, parser.isSet(json), parser.isSet(quiet));
    }
    return usageError("unknown queue command '" + verb + "'");
}

}  // namespace zenvira::cli
