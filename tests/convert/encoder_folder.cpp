#include "tests/convert/encoder_folder.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "platform/application_folder.h"
#include "tests/support/application.h"

namespace zenvira::convert::testing {

namespace fs = std::filesystem;

QCoreApplication& testApp() { return zenvira::testing::coreApplication(); }

EncoderFolder::EncoderFolder(const std::string& folderName) {
    std::string pattern = (fs::temp_directory_path() / "zv-convert-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    folder_ = root_ + "/" + folderName;
    fs::create_directories(folder_);
    platform::setApplicationFolderForTests(folder_);
}

EncoderFolder::~EncoderFolder() {
    platform::setApplicationFolderForTests({});
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void EncoderFolder::writeEncoder(const std::string& body, const std::string& name, bool executable) const {
    const std::string path = file(name);
    std::ofstream(path) << "#!/bin/sh\nhere=$(dirname \"$0\")\n" << body << "\n";
    fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

std::vector<std::string> EncoderFolder::lines(const std::string& name) const {
    std::vector<std::string> result;
    std::ifstream in(file(name));
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

EventLog::EventLog(AVC& job) {
    QObject::connect(&job, &AVC::Converting, [this] { events.push_back("Converting"); });
    QObject::connect(&job, &AVC::Complete, [this] { events.push_back("Complete"); });
    QObject::connect(&job, &AVC::ErrorEvent, [this](const std::string& text) { events.push_back("Error: " + text); });
}

int EventLog::count(const std::string& event) const {
    int n = 0;
    for (const auto& e : events) n += e == event;
    return n;
}

bool runUntilComplete(AVC& job, QTimer& timer, int timeoutMs) {
    testApp();
    if (!job.IsRunning()) return false;
    timer.setInterval(5);  // the job set 300 ms; tests need not wait that long
    return waitForComplete(job, timeoutMs);
}

bool runUntilEnd(AVC& job, QTimer& timer, int timeoutMs) {
    testApp();
    if (!job.IsRunning()) return false;
    timer.setInterval(5);
    QEventLoop loop;
    bool ended = false;
    const auto stop = [&] {
        ended = true;
        loop.quit();
    };
    const auto completed = QObject::connect(&job, &AVC::Complete, stop);
    const auto failed = QObject::connect(&job, &AVC::ErrorEvent, stop);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(completed);
    QObject::disconnect(failed);
    return ended;
}

bool waitForComplete(AVC& job, int timeoutMs) {
    QEventLoop loop;
    bool completed = false;
    const auto connection = QObject::connect(&job, &AVC::Complete, [&] {
        completed = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return completed;
}

bool processAlive(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return false;
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

bool processEnds(int pid, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (processAlive(pid)) {
        if (clock.elapsed() > timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string waitForLine(const std::string& path, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        std::ifstream in(path);
        std::string line;
        if (std::getline(in, line) && !line.empty()) return line;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

}  // namespace zenvira::convert::testing
